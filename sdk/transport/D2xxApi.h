// The calling interface of FTDI's D2XX library as its vendor documents it for Linux: the types,
// the constants used here and the signatures of the functions the SDK looks up by name. The
// library itself is loaded at run time; nothing here links against it.
#pragma once

#include <cstdint>

namespace vellf::d2xx {

using DWORD = uint32_t;
using ULONG = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using UCHAR = uint8_t;
using BOOL = uint32_t;
using FT_STATUS = ULONG;
using FT_HANDLE = void*;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;  // also what a missing function answers here

inline FT_HANDLE InvalidHandle() {
    return reinterpret_cast<FT_HANDLE>(~uintptr_t{0});
}

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;

constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE TWOSTOPBITS = 2;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;

constexpr ULONG EV_RXCHAR = 0x0001;
constexpr ULONG EV_CTS = 0x0008;

// Line error flags of FT_W32_ClearCommError.
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;
constexpr DWORD CE_TXFULL = 0x0100;
constexpr DWORD CE_IOE = 0x0400;

struct FTDCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

struct FTTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct FTCOMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};

// One entry of FT_GetDeviceInfoList; ftHandle is non-null while the device is open.
struct FT_DEVICE_LIST_INFO_NODE {
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
};

extern "C" {
using FT_ListDevices_t = FT_STATUS (*)(void* arg1, void* arg2, DWORD flags);
using FT_CreateDeviceInfoList_t = FT_STATUS (*)(DWORD* count);
using FT_GetDeviceInfoList_t = FT_STATUS (*)(FT_DEVICE_LIST_INFO_NODE* nodes, DWORD* count);
using FT_GetDeviceInfoDetail_t = FT_STATUS (*)(DWORD index, DWORD* flags, DWORD* type, DWORD* id,
                                               DWORD* locId, void* serialNumber, void* description,
                                               FT_HANDLE* handle);
using FT_ResetDevice_t = FT_STATUS (*)(FT_HANDLE handle);
using FT_SetBaudRate_t = FT_STATUS (*)(FT_HANDLE handle, ULONG baudRate);
using FT_SetLatencyTimer_t = FT_STATUS (*)(FT_HANDLE handle, UCHAR latency);
using FT_SetUSBParameters_t = FT_STATUS (*)(FT_HANDLE handle, ULONG inSize, ULONG outSize);
using FT_W32_CreateFile_t = FT_HANDLE (*)(const char* name, DWORD access, DWORD shareMode,
                                          void* security, DWORD create, DWORD attrsAndFlags,
                                          void* templateFile);
using FT_W32_CloseHandle_t = BOOL (*)(FT_HANDLE handle);
using FT_W32_ReadFile_t = BOOL (*)(FT_HANDLE handle, void* buffer, DWORD size, DWORD* got,
                                   void* overlapped);
using FT_W32_WriteFile_t = BOOL (*)(FT_HANDLE handle, void* buffer, DWORD size, DWORD* written,
                                    void* overlapped);
using FT_W32_GetLastError_t = DWORD (*)(FT_HANDLE handle);
using FT_W32_GetOverlappedResult_t = BOOL (*)(FT_HANDLE handle, void* overlapped, DWORD* count,
                                              BOOL wait);
using FT_W32_ClearCommBreak_t = BOOL (*)(FT_HANDLE handle);
using FT_W32_ClearCommError_t = BOOL (*)(FT_HANDLE handle, DWORD* errors, FTCOMSTAT* status);
using FT_W32_EscapeCommFunction_t = BOOL (*)(FT_HANDLE handle, DWORD function);
using FT_W32_GetCommModemStatus_t = BOOL (*)(FT_HANDLE handle, DWORD* modemStatus);
using FT_W32_GetCommState_t = BOOL (*)(FT_HANDLE handle, FTDCB* dcb);
using FT_W32_GetCommTimeouts_t = BOOL (*)(FT_HANDLE handle, FTTIMEOUTS* timeouts);
using FT_W32_PurgeComm_t = BOOL (*)(FT_HANDLE handle, DWORD mask);
using FT_W32_SetCommBreak_t = BOOL (*)(FT_HANDLE handle);
using FT_W32_SetCommMask_t = BOOL (*)(FT_HANDLE handle, ULONG eventMask);
using FT_W32_SetCommState_t = BOOL (*)(FT_HANDLE handle, FTDCB* dcb);
using FT_W32_SetCommTimeouts_t = BOOL (*)(FT_HANDLE handle, FTTIMEOUTS* timeouts);
using FT_W32_SetupComm_t = BOOL (*)(FT_HANDLE handle, DWORD readSize, DWORD writeSize);
using FT_W32_WaitCommEvent_t = BOOL (*)(FT_HANDLE handle, ULONG* eventMask, void* overlapped);
}

}  // namespace vellf::d2xx
