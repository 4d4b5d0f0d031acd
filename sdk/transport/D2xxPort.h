// The function table of FTDI's D2XX library: loaded on first use, each function looked up by
// name, so that a missing library or function disables only what needs it.
#pragma once

#include <string>
#include <vector>

#include "transport/D2xxApi.h"

namespace vellf {

// Internal: the library that later loads open ("" = libftd2xx.so from the library path).
void SetD2xxLibraryPath(const std::string& path);
std::string D2xxLibraryPath();
// Whether the library can be loaded at all (loads and releases it).
bool D2xxLibraryLoadable();

class CFTD2xxPort {
  public:
    CFTD2xxPort() = default;
    ~CFTD2xxPort();
    CFTD2xxPort(const CFTD2xxPort&) = delete;
    CFTD2xxPort& operator=(const CFTD2xxPort&) = delete;

    // Loads the library and looks up its functions; does nothing once loaded. A library or
    // function that cannot be found is reported on standard error.
    void LoadD2xx();
    bool IsD2xxLoaded() const { return m_library != nullptr; }

    // Line operations of the serial transport. Each passes its arguments to the library's
    // function of the same name and returns its result; a missing function answers FALSE
    // (the create operation an invalid handle). Only the create operation loads the library.
    d2xx::FT_HANDLE W32CreateFile(const std::string& serialNumber);
    d2xx::BOOL W32CloseHandle(d2xx::FT_HANDLE handle);
    d2xx::BOOL W32ReadFile(d2xx::FT_HANDLE handle, void* buffer, d2xx::DWORD size,
                           d2xx::DWORD* got);
    d2xx::BOOL W32WriteFile(d2xx::FT_HANDLE handle, void* buffer, d2xx::DWORD size,
                            d2xx::DWORD* written);
    d2xx::DWORD W32GetLastError(d2xx::FT_HANDLE handle);
    d2xx::BOOL W32ClearCommError(d2xx::FT_HANDLE handle, d2xx::DWORD* errors,
                                 d2xx::FTCOMSTAT* status);
    d2xx::BOOL W32GetCommModemStatus(d2xx::FT_HANDLE handle, d2xx::DWORD* modemStatus);
    d2xx::BOOL W32GetCommState(d2xx::FT_HANDLE handle, d2xx::FTDCB* dcb);
    d2xx::BOOL W32PurgeComm(d2xx::FT_HANDLE handle, d2xx::DWORD mask);
    d2xx::BOOL W32SetCommMask(d2xx::FT_HANDLE handle, d2xx::ULONG eventMask);
    d2xx::BOOL W32SetCommState(d2xx::FT_HANDLE handle, d2xx::FTDCB* dcb);
    d2xx::BOOL W32SetCommTimeouts(d2xx::FT_HANDLE handle, d2xx::FTTIMEOUTS* timeouts);

    // D2XX status; 1 when the function is missing.
    d2xx::FT_STATUS SetLatencyTimer(d2xx::FT_HANDLE handle, d2xx::UCHAR milliseconds);
    // Both load the library first; a missing function is reported and answers 1.
    d2xx::FT_STATUS CreateDeviceInfoList(d2xx::DWORD& count);
    d2xx::FT_STATUS GetDeviceInfoList(d2xx::FT_DEVICE_LIST_INFO_NODE* nodes, d2xx::DWORD& count);

    // Appends the serial numbers of the attached devices that nobody has open, in the
    // library's order; devices without a serial number cannot be opened by name and are left
    // out.
    void ListD2xxReaders(std::vector<std::string>& list);

  private:
    template <typename Fn>
    void Resolve(Fn& slot, const char* name);
    void UnloadD2xx();

    void* m_library = nullptr;
    d2xx::FT_ListDevices_t m_listDevices = nullptr;
    d2xx::FT_CreateDeviceInfoList_t m_createDeviceInfoList = nullptr;
    d2xx::FT_GetDeviceInfoList_t m_getDeviceInfoList = nullptr;
    d2xx::FT_GetDeviceInfoDetail_t m_getDeviceInfoDetail = nullptr;
    d2xx::FT_ResetDevice_t m_resetDevice = nullptr;
    d2xx::FT_SetBaudRate_t m_setBaudRate = nullptr;
    d2xx::FT_SetLatencyTimer_t m_setLatencyTimer = nullptr;
    d2xx::FT_SetUSBParameters_t m_setUsbParameters = nullptr;
    d2xx::FT_W32_CreateFile_t m_w32CreateFile = nullptr;
    d2xx::FT_W32_CloseHandle_t m_w32CloseHandle = nullptr;
    d2xx::FT_W32_ReadFile_t m_w32ReadFile = nullptr;
    d2xx::FT_W32_WriteFile_t m_w32WriteFile = nullptr;
    d2xx::FT_W32_GetLastError_t m_w32GetLastError = nullptr;
    d2xx::FT_W32_GetOverlappedResult_t m_w32GetOverlappedResult = nullptr;
    d2xx::FT_W32_ClearCommBreak_t m_w32ClearCommBreak = nullptr;
    d2xx::FT_W32_ClearCommError_t m_w32ClearCommError = nullptr;
    d2xx::FT_W32_EscapeCommFunction_t m_w32EscapeCommFunction = nullptr;
    d2xx::FT_W32_GetCommModemStatus_t m_w32GetCommModemStatus = nullptr;
    d2xx::FT_W32_GetCommState_t m_w32GetCommState = nullptr;
    d2xx::FT_W32_GetCommTimeouts_t m_w32GetCommTimeouts = nullptr;
    d2xx::FT_W32_PurgeComm_t m_w32PurgeComm = nullptr;
    d2xx::FT_W32_SetCommBreak_t m_w32SetCommBreak = nullptr;
    d2xx::FT_W32_SetCommMask_t m_w32SetCommMask = nullptr;
    d2xx::FT_W32_SetCommState_t m_w32SetCommState = nullptr;
    d2xx::FT_W32_SetCommTimeouts_t m_w32SetCommTimeouts = nullptr;
    d2xx::FT_W32_SetupComm_t m_w32SetupComm = nullptr;
    d2xx::FT_W32_WaitCommEvent_t m_w32WaitCommEvent = nullptr;
};

}  // namespace vellf
