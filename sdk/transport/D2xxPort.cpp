#include "transport/D2xxPort.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "Diagnostics.h"

namespace vellf {

using namespace d2xx;

namespace {

constexpr const char* kDefaultLibrary = "libftd2xx.so";
// Far more devices than buses can carry means the library answered nonsense.
constexpr DWORD kMaxDevices = 65536;

// Never destroyed: ports closed at process exit, after other statics are gone, still use it.
std::mutex& PathLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

std::string& LibraryPath() {
    static auto* path = new std::string();
    return *path;
}

void DebugText(const std::string& text) {
    Diagnostic("%s\n", text.c_str());
}

}  // namespace

void SetD2xxLibraryPath(const std::string& path) {
    std::lock_guard<std::mutex> guard(PathLock());
    LibraryPath() = path;
}

std::string D2xxLibraryPath() {
    std::lock_guard<std::mutex> guard(PathLock());
    return LibraryPath().empty() ? kDefaultLibrary : LibraryPath();
}

bool D2xxLibraryLoadable() {
    void* library = dlopen(D2xxLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library == nullptr) return false;
    dlclose(library);
    return true;
}

CFTD2xxPort::~CFTD2xxPort() {
    UnloadD2xx();
}

template <typename Fn>
void CFTD2xxPort::Resolve(Fn& slot, const char* name) {
    slot = reinterpret_cast<Fn>(dlsym(m_library, name));
    if (slot == nullptr) DebugText(std::string("Fehler: Kann ") + name + " nicht initialisieren");
}

void CFTD2xxPort::LoadD2xx() {
    if (m_library != nullptr) return;
    const std::string path = D2xxLibraryPath();
    // The vendor's library may leave threads of its own running after a device is closed, so
    // unloading only forgets the table; the code stays mapped.
    m_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (m_library == nullptr) {
        DebugText("Fehler: Kann " + path + " nicht laden");
        return;
    }
    Resolve(m_listDevices, "FT_ListDevices");
    Resolve(m_createDeviceInfoList, "FT_CreateDeviceInfoList");
    Resolve(m_getDeviceInfoList, "FT_GetDeviceInfoList");
    Resolve(m_getDeviceInfoDetail, "FT_GetDeviceInfoDetail");
    Resolve(m_resetDevice, "FT_ResetDevice");
    Resolve(m_setBaudRate, "FT_SetBaudRate");
    Resolve(m_setLatencyTimer, "FT_SetLatencyTimer");
    Resolve(m_setUsbParameters, "FT_SetUSBParameters");
    Resolve(m_w32CreateFile, "FT_W32_CreateFile");
    Resolve(m_w32CloseHandle, "FT_W32_CloseHandle");
    Resolve(m_w32ReadFile, "FT_W32_ReadFile");
    Resolve(m_w32WriteFile, "FT_W32_WriteFile");
    Resolve(m_w32GetLastError, "FT_W32_GetLastError");
    Resolve(m_w32GetOverlappedResult, "FT_W32_GetOverlappedResult");
    Resolve(m_w32ClearCommBreak, "FT_W32_ClearCommBreak");
    Resolve(m_w32ClearCommError, "FT_W32_ClearCommError");
    Resolve(m_w32EscapeCommFunction, "FT_W32_EscapeCommFunction");
    Resolve(m_w32GetCommModemStatus, "FT_W32_GetCommModemStatus");
    Resolve(m_w32GetCommState, "FT_W32_GetCommState");
    Resolve(m_w32GetCommTimeouts, "FT_W32_GetCommTimeouts");
    Resolve(m_w32PurgeComm, "FT_W32_PurgeComm");
    Resolve(m_w32SetCommBreak, "FT_W32_SetCommBreak");
    Resolve(m_w32SetCommMask, "FT_W32_SetCommMask");
    Resolve(m_w32SetCommState, "FT_W32_SetCommState");
    Resolve(m_w32SetCommTimeouts, "FT_W32_SetCommTimeouts");
    Resolve(m_w32SetupComm, "FT_W32_SetupComm");
    Resolve(m_w32WaitCommEvent, "FT_W32_WaitCommEvent");
}

void CFTD2xxPort::UnloadD2xx() {
    if (m_library != nullptr) dlclose(m_library);
    m_library = nullptr;
    m_listDevices = nullptr;
    m_createDeviceInfoList = nullptr;
    m_getDeviceInfoList = nullptr;
    m_getDeviceInfoDetail = nullptr;
    m_resetDevice = nullptr;
    m_setBaudRate = nullptr;
    m_setLatencyTimer = nullptr;
    m_setUsbParameters = nullptr;
    m_w32CreateFile = nullptr;
    m_w32CloseHandle = nullptr;
    m_w32ReadFile = nullptr;
    m_w32WriteFile = nullptr;
    m_w32GetLastError = nullptr;
    m_w32GetOverlappedResult = nullptr;
    m_w32ClearCommBreak = nullptr;
    m_w32ClearCommError = nullptr;
    m_w32EscapeCommFunction = nullptr;
    m_w32GetCommModemStatus = nullptr;
    m_w32GetCommState = nullptr;
    m_w32GetCommTimeouts = nullptr;
    m_w32PurgeComm = nullptr;
    m_w32SetCommBreak = nullptr;
    m_w32SetCommMask = nullptr;
    m_w32SetCommState = nullptr;
    m_w32SetCommTimeouts = nullptr;
    m_w32SetupComm = nullptr;
    m_w32WaitCommEvent = nullptr;
}

FT_HANDLE CFTD2xxPort::W32CreateFile(const std::string& serialNumber) {
    LoadD2xx();
    if (m_w32CreateFile == nullptr) return InvalidHandle();
    return m_w32CreateFile(serialNumber.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FT_OPEN_BY_SERIAL_NUMBER, nullptr);
}

BOOL CFTD2xxPort::W32CloseHandle(FT_HANDLE handle) {
    return m_w32CloseHandle ? m_w32CloseHandle(handle) : 0;
}

BOOL CFTD2xxPort::W32ReadFile(FT_HANDLE handle, void* buffer, DWORD size, DWORD* got) {
    return m_w32ReadFile ? m_w32ReadFile(handle, buffer, size, got, nullptr) : 0;
}

BOOL CFTD2xxPort::W32WriteFile(FT_HANDLE handle, void* buffer, DWORD size, DWORD* written) {
    return m_w32WriteFile ? m_w32WriteFile(handle, buffer, size, written, nullptr) : 0;
}

DWORD CFTD2xxPort::W32GetLastError(FT_HANDLE handle) {
    return m_w32GetLastError ? m_w32GetLastError(handle) : 0;
}

BOOL CFTD2xxPort::W32ClearCommError(FT_HANDLE handle, DWORD* errors, FTCOMSTAT* status) {
    return m_w32ClearCommError ? m_w32ClearCommError(handle, errors, status) : 0;
}

BOOL CFTD2xxPort::W32GetCommModemStatus(FT_HANDLE handle, DWORD* modemStatus) {
    return m_w32GetCommModemStatus ? m_w32GetCommModemStatus(handle, modemStatus) : 0;
}

BOOL CFTD2xxPort::W32GetCommState(FT_HANDLE handle, FTDCB* dcb) {
    return m_w32GetCommState ? m_w32GetCommState(handle, dcb) : 0;
}

BOOL CFTD2xxPort::W32PurgeComm(FT_HANDLE handle, DWORD mask) {
    return m_w32PurgeComm ? m_w32PurgeComm(handle, mask) : 0;
}

BOOL CFTD2xxPort::W32SetCommMask(FT_HANDLE handle, ULONG eventMask) {
    return m_w32SetCommMask ? m_w32SetCommMask(handle, eventMask) : 0;
}

BOOL CFTD2xxPort::W32SetCommState(FT_HANDLE handle, FTDCB* dcb) {
    return m_w32SetCommState ? m_w32SetCommState(handle, dcb) : 0;
}

BOOL CFTD2xxPort::W32SetCommTimeouts(FT_HANDLE handle, FTTIMEOUTS* timeouts) {
    return m_w32SetCommTimeouts ? m_w32SetCommTimeouts(handle, timeouts) : 0;
}

FT_STATUS CFTD2xxPort::SetLatencyTimer(FT_HANDLE handle, UCHAR milliseconds) {
    return m_setLatencyTimer ? m_setLatencyTimer(handle, milliseconds) : FT_INVALID_HANDLE;
}

FT_STATUS CFTD2xxPort::CreateDeviceInfoList(DWORD& count) {
    LoadD2xx();
    if (m_createDeviceInfoList == nullptr) {
        DebugText("FT_CreateDeviceInfoList ist nicht vorhanden!");
        return FT_INVALID_HANDLE;
    }
    return m_createDeviceInfoList(&count);
}

FT_STATUS CFTD2xxPort::GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* nodes, DWORD& count) {
    LoadD2xx();
    if (m_getDeviceInfoList == nullptr) {
        DebugText("FT_GetDeviceInfoList ist nicht vorhanden!");
        return FT_INVALID_HANDLE;
    }
    return m_getDeviceInfoList(nodes, &count);
}

void CFTD2xxPort::ListD2xxReaders(std::vector<std::string>& list) {
    DWORD count = 0;
    if (CreateDeviceInfoList(count) != FT_OK || count == 0) return;
    // The library fills as many nodes as its count said: the array must hold them all.
    if (count > kMaxDevices) return;
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    DWORD filled = count;
    if (GetDeviceInfoList(nodes.data(), filled) != FT_OK) return;
    filled = std::min(filled, count);
    for (DWORD i = 0; i < filled; ++i) {
        const FT_DEVICE_LIST_INFO_NODE& node = nodes[i];
        // The library need not terminate a serial number that fills its field.
        const size_t length = strnlen(node.SerialNumber, sizeof node.SerialNumber);
        if (node.ftHandle == nullptr && length > 0) list.emplace_back(node.SerialNumber, length);
    }
}

}  // namespace vellf
