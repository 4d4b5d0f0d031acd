#include <gtest/gtest.h>

#include "SdkApp.h"
#include "transport/PortName.h"

using namespace vellf;

TEST(PortName, SelectsTheTransport) {
    struct Case {
        const char* name;
        TransportKind kind;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", TransportKind::Serial},
        {"/dev/serial/by-id/usb-maker_1.2.3-if00", TransportKind::Serial},
        {"COM3", TransportKind::Serial},
        {"com3", TransportKind::Serial},
        {"\\\\.\\COM3", TransportKind::Serial},
        {"COM12abc", TransportKind::Serial},
        {"COM0", TransportKind::D2xx},
        {"COMX", TransportKind::D2xx},
        {"4826-0001", TransportKind::D2xx},
        {"4826-0001 HID", TransportKind::Hid},
        {"192.168.0.5", TransportKind::Tcp},
        {"192.168.0.10-10001", TransportKind::Tcp},
        {"[ABC]", TransportKind::Tcp},
        {"192.168.1", TransportKind::D2xx},
        {".1.2.3", TransportKind::D2xx},
        {"", TransportKind::D2xx},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyPortName(c.name), c.kind) << c.name;
}

TEST(PortName, NormalizesComNames) {
    struct Case {
        const char* name;
        bool isCom;
        const char* device;
        int number;
    };
    const Case cases[] = {
        {"COM3", true, "/dev/ttyS2", 3},
        {"com3", true, "/dev/ttyS2", 3},
        {"\\\\.\\COM3", true, "/dev/ttyS2", 3},
        {"COM12abc", true, "/dev/ttyS11", 12},
        {"/dev/ttyUSB1", true, "/dev/ttyUSB1", 1},
        {"/dev/pts/7", true, "/dev/pts/7", 7},
        {"/dev/ttyACM0 [Qor Virtual COM]", true, "/dev/ttyACM0", 0},
        {"COM0", false, "COM0", 0},
        {"4826-0001", false, "4826-0001", 4826},
        {"\\\\.\\FT1234", false, "FT1234", 0},
    };
    for (const Case& c : cases) {
        std::string name = c.name;
        int number = -1;
        EXPECT_EQ(NormalizeComName(name, number), c.isCom) << c.name;
        EXPECT_EQ(name, c.device) << c.name;
        EXPECT_EQ(number, c.number) << c.name;
    }
}

TEST(PortName, LineSettingsFromOptionBits) {
    struct Case {
        int options;
        const char* text;
    };
    const Case cases[] = {
        {0, "baud=9600 parity=N data=8 stop=1"}, {1, "baud=9600 parity=E data=8 stop=1"},
        {2, "baud=9600 parity=O data=8 stop=1"}, {3, "baud=9600 parity=N data=8 stop=2"},
        {5, "baud=9600 parity=N data=8 stop=1"}, {0xC3, "baud=9600 parity=N data=8 stop=2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LineSettingsText(9600, LineSettingsFromOptions(c.options)), c.text)
            << c.options;
    }
}

TEST(PortName, SplitsTheDeviceAddress) {
    struct Case {
        const char* name;
        const char* rest;
        int address;
    };
    const Case cases[] = {
        {"/dev/pts/4:5", "/dev/pts/4", 5}, {"COM3:5", "COM3", 5}, {"COM3:", "COM3:", 1},
        {"COM3", "COM3", 1},               {"COM3:x", "COM3", 0}, {"a:b:12", "a:b", 12},
    };
    for (const Case& c : cases) {
        std::string name = c.name;
        int address = -1;
        SplitDeviceAddress(name, address);
        EXPECT_EQ(name, c.rest) << c.name;
        EXPECT_EQ(address, c.address) << c.name;
    }
}
