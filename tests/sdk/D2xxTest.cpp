// FTDI readers through the D2XX library: the project's stand-in library carries the bytes the
// serial monitor writes to the virtual reader's engine and queues its replies.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <thread>

#include "ChipFixture.h"
#include "ReaderEngine.h"
#include "SimReader.h"
#include "fakeftd2xx/FakeFtd2xx.h"
#include "fixtures-usb/SysfsTree.h"
#include "Diagnostics.h"
#include "transport/D2xxPort.h"
#include "vellf.h"

using namespace testsupport;

namespace {

// The stand-in library, loaded by the test as well so that it can set up the devices the
// SDK will find. While it lives the SDK loads it instead of libftd2xx.so.
class FakeD2xxLibrary {
  public:
    explicit FakeD2xxLibrary(const char* path) : m_library(dlopen(path, RTLD_NOW)) {
        EXPECT_NE(m_library, nullptr) << dlerror();
        Resolve(m_setDevices, "FakeFtd2xxSetDevices");
        Resolve(m_setWire, "FakeFtd2xxSetWire");
        Resolve(m_feed, "FakeFtd2xxFeed");
        Resolve(m_unplug, "FakeFtd2xxUnplug");
        Resolve(m_isOpen, "FakeFtd2xxIsOpen");
        Resolve(m_stall, "FakeFtd2xxStall");
        Resolve(m_latency, "FakeFtd2xxLatency");
        Resolve(m_lineState, "FakeFtd2xxLineState");
        Resolve(m_unexpectedCalls, "FakeFtd2xxUnexpectedCalls");
        m_setWire(&FakeD2xxLibrary::Wire, this);
        vellf::SetD2xxLibraryPath(path);
    }
    ~FakeD2xxLibrary() {
        vellf::SetD2xxLibraryPath("");
        m_setWire(nullptr, nullptr);
        m_setDevices(nullptr, 0);
        dlclose(m_library);
    }
    FakeD2xxLibrary(const FakeD2xxLibrary&) = delete;
    FakeD2xxLibrary& operator=(const FakeD2xxLibrary&) = delete;

    void SetDevices(const std::vector<std::string>& serialNumbers) {
        std::vector<const char*> names;
        for (const std::string& name : serialNumbers) names.push_back(name.c_str());
        m_setDevices(names.data(), static_cast<int>(names.size()));
    }
    // The reader behind a device; the engine must outlive the library object's use.
    void Connect(int device, vsim::ReaderEngine& engine) { m_engines[device] = &engine; }
    void Unplug(int device) { m_unplug(device); }
    void Stall(int device, bool on) { m_stall(device, on ? 1 : 0); }
    bool IsOpen(int device) { return m_isOpen(device) != 0; }
    int Latency(int device) { return m_latency(device); }
    std::string LineState(int device) {
        char text[128] = {};
        m_lineState(device, text, sizeof text);
        return text;
    }
    int UnexpectedCalls() { return m_unexpectedCalls(); }

  private:
    template <typename Fn>
    void Resolve(Fn& slot, const char* name) {
        slot = reinterpret_cast<Fn>(dlsym(m_library, name));
        ASSERT_NE(slot, nullptr) << name;
    }
    // Runs on the SDK's monitor thread; the engines are only read there.
    static void Wire(void* context, int device, const unsigned char* data, unsigned size,
                     unsigned baud) {
        auto* self = static_cast<FakeD2xxLibrary*>(context);
        auto engine = self->m_engines.find(device);
        if (engine == self->m_engines.end()) return;
        const std::vector<uint8_t> reply =
            engine->second->OnBytes(data, size, static_cast<int>(baud));
        self->m_feed(device, reply.data(), static_cast<unsigned>(reply.size()));
    }

    void* m_library;
    std::map<int, vsim::ReaderEngine*> m_engines;
    FakeFtd2xxSetDevices_t m_setDevices = nullptr;
    FakeFtd2xxSetWire_t m_setWire = nullptr;
    FakeFtd2xxFeed_t m_feed = nullptr;
    FakeFtd2xxUnplug_t m_unplug = nullptr;
    FakeFtd2xxIsOpen_t m_isOpen = nullptr;
    FakeFtd2xxStall_t m_stall = nullptr;
    FakeFtd2xxLatency_t m_latency = nullptr;
    FakeFtd2xxLineState_t m_lineState = nullptr;
    FakeFtd2xxUnexpectedCalls_t m_unexpectedCalls = nullptr;
};

std::vector<std::string> UsbReaders() {
    char buffer[2500];
    const int used = LfListUsbReaders(buffer, sizeof buffer);
    std::vector<std::string> names;
    for (int pos = 0; pos < used && buffer[pos] != '\0';) {
        names.emplace_back(buffer + pos);
        pos += static_cast<int>(names.back().size()) + 1;
    }
    return names;
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
        ++count;
    }
    return count;
}

std::string VersionOf(int handle) {
    unsigned char reply[16];
    const int got = LfGetVersion(handle, reply, sizeof reply, nullptr, 0);
    return got > 0 ? std::string(reinterpret_cast<char*>(reply), static_cast<size_t>(got)) : "";
}

}  // namespace

TEST(D2xx, OpensAReaderBySerialNumberAndTalksThroughTheMonitor) {
    SysfsTree noHid;
    FakeD2xxLibrary library(FAKE_FTD2XX_LIBRARY);
    library.SetDevices({"48260001"});
    vsim::ReaderEngine engine;
    engine.SetVersion("243c");
    engine.SetSerialNumber({0x78, 0x56, 0x34, 0x12});
    library.Connect(0, engine);

    const int handle = LfOpenPort("48260001", 115200, 0, 500);
    ASSERT_EQ(handle, 1);  // D2XX devices share the serial lines' numbers
    EXPECT_TRUE(library.IsOpen(0));
    EXPECT_EQ(library.Latency(0), 2);
    EXPECT_EQ(library.LineState(0), "baud=19200 parity=0 data=8 stop=0 rts=1 dtr=1");
    auto port = PortOf(handle);
    EXPECT_TRUE(port->UsesD2xx());
    EXPECT_TRUE(port->IsMonitorAlive());
    EXPECT_EQ(VersionOf(handle), "243c");
    unsigned char serialNumber[8];
    ASSERT_EQ(LfGetSerialNumber(handle, serialNumber, sizeof serialNumber), 4);
    EXPECT_EQ(std::vector<uint8_t>(serialNumber, serialNumber + 4),
              Bytes({0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(engine.Requests().back().lineBaud, 19200);
    port.reset();
    EXPECT_EQ(LfClosePort(handle), 0);
    EXPECT_FALSE(library.IsOpen(0));

    // Parity and stop bits reach the device's line state.
    const std::pair<int, const char*> settings[] = {
        {1, "baud=19200 parity=2 data=8 stop=0 rts=1 dtr=1"},
        {2, "baud=19200 parity=1 data=8 stop=0 rts=1 dtr=1"},
        {3, "baud=19200 parity=0 data=8 stop=2 rts=1 dtr=1"},
    };
    for (const auto& [options, state] : settings) {
        const int again = LfOpenPort("48260001", 19200, options, 500);
        ASSERT_GT(again, 0) << options;
        EXPECT_EQ(library.LineState(0), state) << options;
        LfClosePort(again);
    }
    EXPECT_EQ(library.UnexpectedCalls(), 0);  // among them FT_W32_WaitCommEvent
}

TEST(D2xx, WritesACardAndReadsItBackThroughTheMonitor) {
    SysfsTree noHid;
    FakeD2xxLibrary library(FAKE_FTD2XX_LIBRARY);
    library.SetDevices({"48260001"});
    vsim::ReaderEngine engine;
    engine.PlaceTransponder(FreshChip(9));
    library.Connect(0, engine);
    const int handle = LfOpenPort("48260001", 19200, 0, 500);
    ASSERT_GT(handle, 0);
    ASSERT_EQ(LfWriteWiegand26(handle, 9, 200, 65000, 0), 0) << "error " << LfGetLastError(handle);
    int facility = -1;
    int number = -1;
    ASSERT_EQ(LfReadWiegand26(handle, &facility, &number), 0) << "error " << LfGetLastError(handle);
    EXPECT_EQ(facility, 200);
    EXPECT_EQ(number, 65000);
    EXPECT_EQ(LfClosePort(handle), 0);
}

TEST(D2xx, ListsUnopenedDevicesWithASerialNumberBeforeHidReaders) {
    SysfsTree tree;
    const std::string hid = "sys/devices/usb1/1-3/1-3:1.0/0003:2B7E:0A3C.0001/";
    tree.File(hid + "uevent", "HID_ID=0003:00002B7E:00000A3C\nHID_UNIQ=48260042\n");
    tree.Link(hid + "hidraw/hidraw0/device", hid);
    tree.Link("sys/class/hidraw/hidraw0", hid + "hidraw/hidraw0");
    tree.File("dev/hidraw0", "");
    FakeD2xxLibrary library(FAKE_FTD2XX_LIBRARY);
    library.SetDevices({"48260001", "", "99990001", "48260002"});
    vsim::ReaderEngine engine;
    library.Connect(0, engine);

    EXPECT_EQ(UsbReaders(), (std::vector<std::string>{"48260001", "48260002", "48260042 HID"}));
    const int handle = LfOpenPort("48260001", 19200, 0, 500);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(UsbReaders(), (std::vector<std::string>{"48260002", "48260042 HID"}));
    LfClosePort(handle);

    // The device without a serial number cannot be named, not even by an empty name.
    EXPECT_EQ(LfOpenPort("", 19200, 0, 100), -1);
    EXPECT_FALSE(library.IsOpen(1));
}

// The loader's texts appear only when diagnostics are asked for (VELLF_DEBUG).
class DiagnosticsOn {
  public:
    DiagnosticsOn() { vellf::SetDiagnosticsEnabled(true); }
    ~DiagnosticsOn() { vellf::SetDiagnosticsEnabled(false); }
};

TEST(D2xx, WithoutTheLibraryNoDeviceIsListedOrOpened) {
    SysfsTree noHid;
    vellf::SetD2xxLibraryPath("/nonexistent/libftd2xx.so");
    // Quiet by default: a program using the SDK shows only its own messages.
    testing::internal::CaptureStderr();
    EXPECT_EQ(LfOpenPort("48260001", 19200, 0, 100), -1);
    EXPECT_TRUE(UsbReaders().empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    DiagnosticsOn diagnostics;
    testing::internal::CaptureStderr();
    EXPECT_EQ(LfOpenPort("48260001", 19200, 0, 100), -1);
    EXPECT_TRUE(UsbReaders().empty());
    const std::string debug = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Occurrences(debug, "Fehler: Kann /nonexistent/libftd2xx.so nicht laden\n"), 2u);
    EXPECT_EQ(Occurrences(debug, "FT_CreateDeviceInfoList ist nicht vorhanden!\n"), 1u);

    // What the table answers for functions it does not have.
    vellf::CFTD2xxPort table;
    testing::internal::CaptureStderr();
    EXPECT_EQ(table.W32CreateFile("48260001"), vellf::d2xx::InvalidHandle());
    unsigned char byte = 0;
    vellf::d2xx::DWORD count = 0;
    EXPECT_EQ(table.W32ReadFile(nullptr, &byte, 1, &count), 0u);
    EXPECT_EQ(table.W32ClearCommError(nullptr, &count, nullptr), 0u);
    EXPECT_EQ(table.SetLatencyTimer(nullptr, 2), 1u);
    EXPECT_EQ(table.GetDeviceInfoList(nullptr, count), 1u);
    EXPECT_EQ(Occurrences(testing::internal::GetCapturedStderr(),
                          "FT_GetDeviceInfoList ist nicht vorhanden!\n"),
              1u);
    vellf::SetD2xxLibraryPath("");
}

TEST(D2xx, ALibraryWithoutSomeFunctionsStillDrivesTheReader) {
    SysfsTree noHid;
    FakeD2xxLibrary library(FAKE_FTD2XX_PARTIAL_LIBRARY);
    library.SetDevices({"48260001"});
    vsim::ReaderEngine engine;
    library.Connect(0, engine);

    DiagnosticsOn diagnostics;
    testing::internal::CaptureStderr();
    const int handle = LfOpenPort("48260001", 19200, 0, 500);
    const std::string version = VersionOf(handle);
    LfClosePort(handle);
    const std::string debug = testing::internal::GetCapturedStderr();
    ASSERT_GT(handle, 0);
    EXPECT_EQ(version, "243c");
    // Each missing function is reported once, when the library is loaded, and nothing else.
    EXPECT_EQ(debug,
              "Fehler: Kann FT_GetDeviceInfoList nicht initialisieren\n"
              "Fehler: Kann FT_SetLatencyTimer nicht initialisieren\n"
              "Fehler: Kann FT_W32_WaitCommEvent nicht initialisieren\n");

    testing::internal::CaptureStderr();
    EXPECT_TRUE(UsbReaders().empty());
    EXPECT_EQ(Occurrences(testing::internal::GetCapturedStderr(),
                          "FT_GetDeviceInfoList ist nicht vorhanden!\n"),
              1u);
}

TEST(D2xx, AnUnpluggedDeviceEndsTheMonitor) {
    FakeD2xxLibrary library(FAKE_FTD2XX_LIBRARY);
    library.SetDevices({"48260001"});
    vsim::ReaderEngine engine;
    library.Connect(0, engine);
    const int handle = LfOpenPort("48260001", 19200, 0, 100);
    ASSERT_GT(handle, 0);
    auto port = PortOf(handle);

    library.Unplug(0);
    for (int i = 0; i < 100 && port->IsMonitorAlive(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(port->IsMonitorAlive());
    EXPECT_FALSE(port->IsLineOpen());
    EXPECT_FALSE(library.IsOpen(0));
    EXPECT_EQ(VersionOf(handle), "");
    EXPECT_EQ(LfGetLastError(handle), 7);
    EXPECT_EQ(LfClosePort(handle), 0);
}

// A device that takes no bytes holds its write for a second at most, so closing its port
// does not hang.
TEST(D2xx, AStalledDeviceCannotHoldTheCloseForEver) {
    FakeD2xxLibrary library(FAKE_FTD2XX_LIBRARY);
    library.SetDevices({"48260001"});
    vsim::ReaderEngine engine;
    library.Connect(0, engine);
    const int handle = LfOpenPort("48260001", 19200, 0, 100);
    ASSERT_GT(handle, 0);
    library.Stall(0, true);
    EXPECT_EQ(VersionOf(handle), "");
    EXPECT_EQ(LfGetLastError(handle), 7);
    auto close = std::async(std::launch::async, [handle] { return LfClosePort(handle); });
    const bool closed = close.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    library.Stall(0, false);  // lets a hanging close end, so that the test can
    EXPECT_TRUE(closed) << "the close waited for the stalled write";
    EXPECT_EQ(close.get(), 0);
    EXPECT_FALSE(library.IsOpen(0));
}

// The library fills as many nodes as it counted; the list holds every one of them.
TEST(D2xx, ListsEveryDeviceTheLibraryCounts) {
    FakeD2xxLibrary library(FAKE_FTD2XX_LIBRARY);
    std::vector<std::string> serialNumbers;
    for (int i = 0; i < 1500; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "4826%04d", i);
        serialNumbers.push_back(name);
    }
    library.SetDevices(serialNumbers);
    vellf::CFTD2xxPort table;
    std::vector<std::string> listed;
    table.ListD2xxReaders(listed);
    EXPECT_EQ(listed, serialNumbers);
}
