#include <gtest/gtest.h>

#include <functional>

#include "ControlProtocol.h"

namespace vsim {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

bool IsOk(const std::string& response) {
    return response.rfind("OK", 0) == 0;
}
bool IsErr(const std::string& response) {
    return response.rfind("ERR ", 0) == 0;
}

TEST(ControlProtocol, CommandsReachTheEngine) {
    struct Case {
        const char* line;
        std::function<bool(const ReaderEngine&)> holds;
    };
    const Case cases[] = {
        {"version 053Z", [](const ReaderEngine& e) { return e.Version() == "053Z"; }},
        {"  version   VEL-TEXT1 \r",
         [](const ReaderEngine& e) { return e.Version() == "VEL-TEXT1"; }},
        {"serial 01020304",
         [](const ReaderEngine& e) {
             return e.State().serialNumber == Bytes{1, 2, 3, 4};
         }},
        {"serial aBcD",
         [](const ReaderEngine& e) {
             return e.State().serialNumber == Bytes{0xAB, 0xCD};
         }},
        {"receive-mode 134", [](const ReaderEngine& e) { return e.ReceiveMode() == 134; }},
        {"silent on", [](const ReaderEngine& e) { return e.GetMisbehaviour().silent; }},
        {"crc-only on", [](const ReaderEngine& e) { return e.GetMisbehaviour().crcOnly; }},
        {"bad-checksum on", [](const ReaderEngine& e) { return e.GetMisbehaviour().badChecksum; }},
        {"baud-only 9600",
         [](const ReaderEngine& e) { return e.GetMisbehaviour().baudOnly == 9600; }},
        {"noise 55aa",
         [](const ReaderEngine& e) {
             return e.GetMisbehaviour().noise == Bytes{0x55, 0xAA};
         }},
        {"cut 3", [](const ReaderEngine& e) { return e.GetMisbehaviour().cutAfter == 3u; }},
        {"status 21", [](const ReaderEngine& e) { return e.GetMisbehaviour().nextStatus == 21; }},
        {"delay 50", [](const ReaderEngine& e) { return e.GetMisbehaviour().replyDelay == 50ms; }},
        {"reply-address 7",
         [](const ReaderEngine& e) { return e.GetMisbehaviour().replyAddress == 7; }},
    };
    for (const Case& c : cases) {
        ReaderEngine engine;
        ControlProtocol control(engine);
        EXPECT_TRUE(IsOk(control.Execute(c.line))) << c.line;
        EXPECT_TRUE(c.holds(engine)) << c.line;
    }
}

TEST(ControlProtocol, EverySettingCanBeSwitchedOffAgain) {
    ReaderEngine engine;
    ControlProtocol control(engine);
    for (const char* line : {"silent on", "crc-only on", "bad-checksum on", "baud-only 9600",
                             "noise 55aa", "cut 3", "delay 50", "reply-address 7"}) {
        ASSERT_TRUE(IsOk(control.Execute(line))) << line;
    }
    for (const char* line : {"silent off", "crc-only off", "bad-checksum off", "baud-only 0",
                             "noise off", "cut off", "delay 0", "reply-address off"}) {
        EXPECT_TRUE(IsOk(control.Execute(line))) << line;
    }
    const Misbehaviour m = engine.GetMisbehaviour();
    EXPECT_FALSE(m.silent || m.crcOnly || m.badChecksum);
    EXPECT_EQ(m.baudOnly, 0);
    EXPECT_TRUE(m.noise.empty());
    EXPECT_FALSE(m.cutAfter.has_value() || m.replyAddress.has_value());
    EXPECT_EQ(m.replyDelay, 0ms);
}

TEST(ControlProtocol, MalformedLinesAnswerErrAndChangeNothing) {
    const std::string lines[] = {
        "",
        "   ",
        "bogus",
        "SILENT on",
        "silent",
        "silent maybe",
        "silent on now",
        "serial",
        "serial 123",
        "serial zz",
        "serial " + std::string(512, 'a'),
        "noise 5",
        "baud-only -1",
        "baud-only 9600x",
        "baud-only 99999999999999999999",
        "status 256",
        "status 0x15",
        "cut -1",
        "cut 261",
        "delay 60001",
        "reply-address 256",
        "version " + std::string(256, 'v'),
        std::string(5000, 'x'),
        std::string("silent\0on", 9),
        "requests now",
    };
    for (const std::string& line : lines) {
        ReaderEngine engine;
        ControlProtocol control(engine);
        EXPECT_TRUE(IsErr(control.Execute(line))) << line.substr(0, 40);
        EXPECT_FALSE(engine.GetMisbehaviour().silent);
        EXPECT_EQ(engine.Version(), "243c");
    }
}

TEST(ControlProtocol, ReportsRequestsAndQuits) {
    ReaderEngine engine;
    ControlProtocol control(engine);
    const Bytes request = {0x02, 0x01, 0xF0, 0x00, 0xF1};
    engine.OnBytes(request.data(), request.size(), 0);
    EXPECT_EQ(control.Execute("requests"), "OK 1");
    EXPECT_EQ(control.Execute("clear"), "OK requests cleared");
    EXPECT_EQ(control.Execute("requests"), "OK 0");
    EXPECT_TRUE(IsOk(control.Execute("help")));
    EXPECT_FALSE(control.QuitRequested());
    EXPECT_EQ(control.Execute("quit"), "OK bye");
    EXPECT_TRUE(control.QuitRequested());
}

}  // namespace
}  // namespace vsim
