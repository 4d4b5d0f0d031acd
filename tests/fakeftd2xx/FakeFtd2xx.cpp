// A D2XX library for tests: simulated devices with an input queue each; written bytes go to a
// wire callback. Built twice: complete, and (FAKE_FTD2XX_PARTIAL) without a few functions, as
// older or trimmed builds of the vendor's library are.
#include "fakeftd2xx/FakeFtd2xx.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "transport/D2xxApi.h"

using namespace vellf::d2xx;

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorDeviceGone = 1167;  // "device not connected"

struct Device {
    std::string serialNumber;
    bool open = false;
    bool gone = false;
    std::deque<uint8_t> input;
    FTDCB dcb{};
    int latency = -1;
    DWORD lastError = 0;
    bool stalled = false;         // writes take nothing until the write timeout
    DWORD writeTimeoutMs = 0;     // 0 = a write waits for ever
};

std::mutex g_lock;
std::condition_variable g_unstalled;
std::vector<Device> g_devices;
size_t g_listed = 0;  // devices in the list the last FT_CreateDeviceInfoList made
FakeFtd2xxWire g_wire = nullptr;
void* g_wireContext = nullptr;
std::atomic<int> g_unexpectedCalls{0};

FT_HANDLE HandleOf(size_t index) {
    return reinterpret_cast<FT_HANDLE>(uintptr_t{index + 1});
}

// The open device behind a handle, or null (g_lock held).
Device* DeviceOf(FT_HANDLE handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value == 0 || value > g_devices.size()) return nullptr;
    Device& device = g_devices[value - 1];
    return device.open ? &device : nullptr;
}

Device* DeviceAt(int index) {
    if (index < 0 || static_cast<size_t>(index) >= g_devices.size()) return nullptr;
    return &g_devices[static_cast<size_t>(index)];
}

BOOL Unexpected() {
    ++g_unexpectedCalls;
    return 0;
}

}  // namespace

// Control interface of the tests.

FAKE_EXPORT void FakeFtd2xxSetDevices(const char* const* serialNumbers, int count) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_devices.clear();
    for (int i = 0; i < count; ++i) {
        Device device;
        device.serialNumber = serialNumbers[i];
        g_devices.push_back(device);
    }
    g_unexpectedCalls = 0;
}

FAKE_EXPORT void FakeFtd2xxSetWire(FakeFtd2xxWire wire, void* context) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_wire = wire;
    g_wireContext = context;
}

FAKE_EXPORT void FakeFtd2xxFeed(int index, const unsigned char* data, unsigned size) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (Device* device = DeviceAt(index))
        device->input.insert(device->input.end(), data, data + size);
}

FAKE_EXPORT void FakeFtd2xxUnplug(int index) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (Device* device = DeviceAt(index)) device->gone = true;
}

FAKE_EXPORT void FakeFtd2xxStall(int index, int on) {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (Device* device = DeviceAt(index)) device->stalled = on != 0;
    }
    g_unstalled.notify_all();
}

FAKE_EXPORT int FakeFtd2xxIsOpen(int index) {
    std::lock_guard<std::mutex> guard(g_lock);
    const Device* device = DeviceAt(index);
    return device != nullptr && device->open ? 1 : 0;
}

FAKE_EXPORT int FakeFtd2xxLatency(int index) {
    std::lock_guard<std::mutex> guard(g_lock);
    const Device* device = DeviceAt(index);
    return device != nullptr ? device->latency : -1;
}

FAKE_EXPORT void FakeFtd2xxLineState(int index, char* text, int size) {
    std::lock_guard<std::mutex> guard(g_lock);
    const Device* device = DeviceAt(index);
    if (device == nullptr || size <= 0) return;
    const FTDCB& dcb = device->dcb;
    std::snprintf(text, static_cast<size_t>(size),
                  "baud=%u parity=%u data=%u stop=%u rts=%u dtr=%u", dcb.BaudRate, dcb.Parity,
                  dcb.ByteSize, dcb.StopBits, dcb.fRtsControl, dcb.fDtrControl);
}

FAKE_EXPORT int FakeFtd2xxUnexpectedCalls(void) {
    return g_unexpectedCalls.load();
}

// The library's device list.

FAKE_EXPORT FT_STATUS FT_CreateDeviceInfoList(DWORD* count) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_listed = g_devices.size();
    *count = static_cast<DWORD>(g_listed);
    return FT_OK;
}

#ifndef FAKE_FTD2XX_PARTIAL
FAKE_EXPORT FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* nodes, DWORD* count) {
    std::lock_guard<std::mutex> guard(g_lock);
    // As the vendor's library: the whole list FT_CreateDeviceInfoList made, whatever the
    // caller's count says.
    const size_t filled = std::min(g_listed, g_devices.size());
    for (size_t i = 0; i < filled; ++i) {
        FT_DEVICE_LIST_INFO_NODE& node = nodes[i];
        std::memset(&node, 0, sizeof node);
        node.Flags = g_devices[i].open ? 1 : 0;
        node.Type = 5;
        node.ID = 0x0403C6F1;
        node.LocId = static_cast<DWORD>(0x100 + i);
        std::strncpy(node.SerialNumber, g_devices[i].serialNumber.c_str(),
                     sizeof node.SerialNumber - 1);
        std::strncpy(node.Description, "Fake reader", sizeof node.Description - 1);
        node.ftHandle = g_devices[i].open ? HandleOf(i) : nullptr;
    }
    *count = static_cast<DWORD>(filled);
    return FT_OK;
}

FAKE_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    if (device == nullptr) return FT_INVALID_HANDLE;
    device->latency = latency;
    return FT_OK;
}

FAKE_EXPORT BOOL FT_W32_WaitCommEvent(FT_HANDLE, ULONG*, void*) {
    return Unexpected();
}
#endif

// Opening and closing.

FAKE_EXPORT FT_HANDLE FT_W32_CreateFile(const char* name, DWORD access, DWORD shareMode,
                                        void* security, DWORD create, DWORD flags, void* templ) {
    std::lock_guard<std::mutex> guard(g_lock);
    // Only what the SDK documents it passes opens anything.
    if (name == nullptr || name[0] == '\0' || access != (GENERIC_READ | GENERIC_WRITE) ||
        shareMode != 0 || security != nullptr || create != OPEN_EXISTING ||
        flags != FT_OPEN_BY_SERIAL_NUMBER || templ != nullptr) {
        return InvalidHandle();
    }
    for (size_t i = 0; i < g_devices.size(); ++i) {
        Device& device = g_devices[i];
        if (device.serialNumber != name || device.open || device.gone) continue;
        device.open = true;
        device.input.clear();
        device.lastError = 0;
        return HandleOf(i);
    }
    return InvalidHandle();
}

FAKE_EXPORT BOOL FT_W32_CloseHandle(FT_HANDLE handle) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    if (device == nullptr) return 0;
    device->open = false;
    return 1;
}

// Data.

FAKE_EXPORT BOOL FT_W32_ReadFile(FT_HANDLE handle, void* buffer, DWORD size, DWORD* got,
                                 void* overlapped) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    *got = 0;
    if (device == nullptr || overlapped != nullptr) return 0;
    if (device->gone) {
        device->lastError = kErrorDeviceGone;
        return 0;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    while (*got < size && !device->input.empty()) {
        out[(*got)++] = device->input.front();
        device->input.pop_front();
    }
    return 1;
}

FAKE_EXPORT BOOL FT_W32_WriteFile(FT_HANDLE handle, void* buffer, DWORD size, DWORD* written,
                                  void* overlapped) {
    FakeFtd2xxWire wire = nullptr;
    void* context = nullptr;
    int index = 0;
    unsigned baud = 0;
    {
        std::unique_lock<std::mutex> lock(g_lock);
        Device* device = DeviceOf(handle);
        *written = 0;
        if (device == nullptr || overlapped != nullptr || device->gone) return 0;
        if (device->stalled) {
            // A device that takes nothing: the write ends with nothing written when its
            // timeout has passed, never without one.
            const auto stillStalled = [&] {
                Device* again = DeviceOf(handle);
                return again != nullptr && again->stalled;
            };
            if (device->writeTimeoutMs == 0) {
                g_unstalled.wait(lock, [&] { return !stillStalled(); });
            } else {
                g_unstalled.wait_for(lock, std::chrono::milliseconds(device->writeTimeoutMs),
                                     [&] { return !stillStalled(); });
            }
            if (stillStalled()) return 1;
            device = DeviceOf(handle);
            if (device == nullptr) return 0;
        }
        wire = g_wire;
        context = g_wireContext;
        index = static_cast<int>(device - g_devices.data());
        baud = device->dcb.BaudRate;
    }
    // The wire may feed a reply back at once, so it runs without the lock.
    if (wire != nullptr)
        wire(context, index, static_cast<const unsigned char*>(buffer), size, baud);
    *written = size;
    return 1;
}

FAKE_EXPORT DWORD FT_W32_GetLastError(FT_HANDLE handle) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    return device != nullptr ? device->lastError : kErrorInvalidHandle;
}

// Line state.

FAKE_EXPORT BOOL FT_W32_ClearCommError(FT_HANDLE handle, DWORD* errors, FTCOMSTAT* status) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    if (device == nullptr) return 0;
    if (device->gone) {
        device->lastError = kErrorDeviceGone;
        return 0;
    }
    *errors = 0;
    std::memset(status, 0, sizeof *status);
    status->cbInQue = static_cast<DWORD>(device->input.size());
    return 1;
}

FAKE_EXPORT BOOL FT_W32_GetCommModemStatus(FT_HANDLE handle, DWORD* modemStatus) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    if (device == nullptr || device->gone) return 0;
    *modemStatus = 0x30;  // CTS and DSR on
    return 1;
}

FAKE_EXPORT BOOL FT_W32_GetCommState(FT_HANDLE handle, FTDCB* dcb) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    if (device == nullptr) return 0;
    std::memset(dcb, 0, sizeof *dcb);
    dcb->DCBlength = sizeof *dcb;
    dcb->BaudRate = 9600;
    dcb->ByteSize = 8;
    return 1;
}

FAKE_EXPORT BOOL FT_W32_SetCommState(FT_HANDLE handle, FTDCB* dcb) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    if (device == nullptr) return 0;
    device->dcb = *dcb;
    return 1;
}

FAKE_EXPORT BOOL FT_W32_SetCommTimeouts(FT_HANDLE handle, FTTIMEOUTS* timeouts) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    // Anything but "return at once" would make the one-byte reads block.
    if (device == nullptr || timeouts->ReadIntervalTimeout != 0xFFFFFFFFu ||
        timeouts->ReadTotalTimeoutConstant != 0) {
        return 0;
    }
    device->writeTimeoutMs = timeouts->WriteTotalTimeoutConstant;
    return 1;
}

FAKE_EXPORT BOOL FT_W32_SetCommMask(FT_HANDLE handle, ULONG) {
    std::lock_guard<std::mutex> guard(g_lock);
    return DeviceOf(handle) != nullptr ? 1 : 0;
}

FAKE_EXPORT BOOL FT_W32_PurgeComm(FT_HANDLE handle, DWORD mask) {
    std::lock_guard<std::mutex> guard(g_lock);
    Device* device = DeviceOf(handle);
    if (device == nullptr) return 0;
    if (mask & PURGE_RXCLEAR) device->input.clear();
    return 1;
}

// Functions the SDK looks up but has no use for.

FAKE_EXPORT FT_STATUS FT_ListDevices(void*, void*, DWORD) {
    return Unexpected();
}
FAKE_EXPORT FT_STATUS FT_GetDeviceInfoDetail(DWORD, DWORD*, DWORD*, DWORD*, DWORD*, void*, void*,
                                             FT_HANDLE*) {
    return Unexpected();
}
FAKE_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE) {
    return Unexpected();
}
FAKE_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE, ULONG) {
    return Unexpected();
}
FAKE_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE, ULONG, ULONG) {
    return Unexpected();
}
FAKE_EXPORT BOOL FT_W32_GetOverlappedResult(FT_HANDLE, void*, DWORD*, BOOL) {
    return Unexpected();
}
FAKE_EXPORT BOOL FT_W32_ClearCommBreak(FT_HANDLE) {
    return Unexpected();
}
FAKE_EXPORT BOOL FT_W32_EscapeCommFunction(FT_HANDLE, DWORD) {
    return Unexpected();
}
FAKE_EXPORT BOOL FT_W32_GetCommTimeouts(FT_HANDLE, FTTIMEOUTS*) {
    return Unexpected();
}
FAKE_EXPORT BOOL FT_W32_SetCommBreak(FT_HANDLE) {
    return Unexpected();
}
FAKE_EXPORT BOOL FT_W32_SetupComm(FT_HANDLE, DWORD, DWORD) {
    return Unexpected();
}
