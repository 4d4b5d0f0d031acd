#include <gtest/gtest.h>

#include <functional>

#include "ReaderEngine.h"

namespace vsim {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

const Bytes kStxVersionRequest = {0x02, 0x01, 0xF0, 0x00, 0xF1};
const Bytes kCrcVersionRequest = {0x01, 0xF0, 0x00, 0x64, 0x00};
// Replies of the default version text 243c.
const Bytes kStxVersionReply = {0x02, 0x01, 0x00, 0x04, '2', '4', '3', 'c', 0x53};
const Bytes kCrcVersionReply = {0x01, 0x00, 0x04, '2', '4', '3', 'c', 0xE1, 0xAF};

Bytes Feed(ReaderEngine& engine, const Bytes& bytes, int baud = 0) {
    return engine.OnBytes(bytes.data(), bytes.size(), baud);
}

Bytes Request(uint8_t command, const Bytes& data, uint8_t address = 1) {
    return BuildFrame({Framing::Stx, address, command, data});
}

TEST(ReaderEngine, AnswersInTheFramingOfTheRequest) {
    ReaderEngine engine;
    EXPECT_EQ(Feed(engine, kStxVersionRequest), kStxVersionReply);
    EXPECT_EQ(Feed(engine, kCrcVersionRequest), kCrcVersionReply);

    engine.SetVersion("053A");
    EXPECT_EQ(Feed(engine, kStxVersionRequest),
              (Bytes{0x02, 0x01, 0x00, 0x04, 0x30, 0x35, 0x33, 0x41, 0x72}));
}

TEST(ReaderEngine, AnswersAnyAddressWithThatAddress) {
    ReaderEngine engine;
    EXPECT_EQ(Feed(engine, Request(0xF8, {}, 0x05)),
              BuildFrame({Framing::Stx, 0x05, 0x00, {0x78, 0x56, 0x34, 0x12}}));
}

TEST(ReaderEngine, CommandsChangeStateAndCheckTheirData) {
    struct Case {
        uint8_t command;
        Bytes data;
        uint8_t status;
        Bytes replyData;
        std::function<int(const DeviceState&)> observed;
        int expected;
    };
    const auto none = [](const DeviceState&) { return 0; };
    const Case cases[] = {
        {0xF4, {3}, status::kOk, {}, [](const DeviceState& s) { return s.deviceMode; }, 3},
        {0xF5, {1}, status::kOk, {}, [](const DeviceState& s) { return s.fieldSwitch; }, 1},
        {0xF6, {0, 0}, status::kOk, {}, none, 0},
        {0xFC, {130}, status::kOk, {}, [](const DeviceState& s) { return s.receiveMode; }, 130},
        {0xFF, {2}, status::kOk, {}, [](const DeviceState& s) { return s.usbMode; }, 2},
        {0xF8, {}, status::kOk, {0xA1, 0xB2}, none, 0},
        {0xF4, {}, status::kBadLength, {}, [](const DeviceState& s) { return s.deviceMode; }, -1},
        {0xFC,
         {1, 2},
         status::kBadLength,
         {},
         [](const DeviceState& s) { return s.receiveMode; },
         0},
        {0xF0, {0}, status::kBadLength, {}, none, 0},
        {0x42, {}, status::kUnknownCommand, {}, none, 0},
        {0xC0, {9, 0}, status::kNoTransponder, {}, none, 0},
    };
    for (const Case& c : cases) {
        ReaderEngine engine;
        engine.SetSerialNumber({0xA1, 0xB2});
        EXPECT_EQ(Feed(engine, Request(c.command, c.data)),
                  BuildFrame({Framing::Stx, 1, c.status, c.replyData}))
            << std::hex << int{c.command};
        EXPECT_EQ(c.observed(engine.State()), c.expected) << std::hex << int{c.command};
    }
}

TEST(ReaderEngine, MisbehavesOnRequestAndStopsWhenSwitchedOff) {
    struct Case {
        const char* name;
        std::function<void(ReaderEngine&)> on;
        std::function<void(ReaderEngine&)> off;
        Bytes request;
        int baud;
        Bytes reply;
    };
    Bytes noisyReply = {0x55, 0xAA};
    noisyReply.insert(noisyReply.end(), kStxVersionReply.begin(), kStxVersionReply.end());
    Bytes badBcc = kStxVersionReply;
    badBcc.back() ^= 0xFF;
    Bytes badCrc = kCrcVersionReply;
    badCrc.back() ^= 0xFF;
    const Case cases[] = {
        {"silent",
         [](ReaderEngine& e) { e.SetSilent(true); },
         [](ReaderEngine& e) { e.SetSilent(false); },
         kStxVersionRequest,
         0,
         {}},
        {"crc-only ignores STX",
         [](ReaderEngine& e) { e.SetCrcOnly(true); },
         [](ReaderEngine& e) { e.SetCrcOnly(false); },
         kStxVersionRequest,
         0,
         {}},
        {"crc-only answers CRC", [](ReaderEngine& e) { e.SetCrcOnly(true); },
         [](ReaderEngine& e) { e.SetCrcOnly(false); }, kCrcVersionRequest, 0, kCrcVersionReply},
        {"baud-only, other baud",
         [](ReaderEngine& e) { e.SetBaudOnly(9600); },
         [](ReaderEngine& e) { e.SetBaudOnly(0); },
         kStxVersionRequest,
         19200,
         {}},
        {"baud-only, same baud", [](ReaderEngine& e) { e.SetBaudOnly(9600); },
         [](ReaderEngine& e) { e.SetBaudOnly(0); }, kStxVersionRequest, 9600, kStxVersionReply},
        {"baud-only, no serial line", [](ReaderEngine& e) { e.SetBaudOnly(9600); },
         [](ReaderEngine& e) { e.SetBaudOnly(0); }, kStxVersionRequest, 0, kStxVersionReply},
        {"noise",
         [](ReaderEngine& e) {
             e.SetNoise({0x55, 0xAA});
         },
         [](ReaderEngine& e) { e.SetNoise({}); }, kStxVersionRequest, 0, noisyReply},
        {"cut",
         [](ReaderEngine& e) { e.SetCutAfter(3); },
         [](ReaderEngine& e) { e.SetCutAfter(std::nullopt); },
         kStxVersionRequest,
         0,
         {0x02, 0x01, 0x00}},
        {"bad BCC", [](ReaderEngine& e) { e.SetBadChecksum(true); },
         [](ReaderEngine& e) { e.SetBadChecksum(false); }, kStxVersionRequest, 0, badBcc},
        {"bad CRC", [](ReaderEngine& e) { e.SetBadChecksum(true); },
         [](ReaderEngine& e) { e.SetBadChecksum(false); }, kCrcVersionRequest, 0, badCrc},
        {"reply address", [](ReaderEngine& e) { e.SetReplyAddress(7); },
         [](ReaderEngine& e) { e.SetReplyAddress(std::nullopt); }, kStxVersionRequest, 0,
         BuildFrame({Framing::Stx, 7, 0, {'2', '4', '3', 'c'}})},
        {"one-shot status",
         [](ReaderEngine& e) { e.SetNextStatus(0x15); },
         [](ReaderEngine&) {},
         kStxVersionRequest,
         0,
         {0x02, 0x01, 0x15, 0x00, 0x14}},
    };
    for (const Case& c : cases) {
        ReaderEngine engine;
        c.on(engine);
        EXPECT_EQ(Feed(engine, c.request, c.baud), c.reply) << c.name;
        c.off(engine);
        const Bytes normal = c.request == kStxVersionRequest ? kStxVersionReply : kCrcVersionReply;
        EXPECT_EQ(Feed(engine, c.request, c.baud), normal) << c.name << " switched off";
    }
}

TEST(ReaderEngine, SwallowedRequestsChangeNothingButAreLogged) {
    ReaderEngine engine;
    engine.SetCrcOnly(true);
    EXPECT_TRUE(Feed(engine, Request(0xFC, {2}), 9600).empty());
    EXPECT_EQ(engine.ReceiveMode(), 0);
    engine.SetNextStatus(0x15);
    Feed(engine, kCrcVersionRequest);

    const auto log = engine.Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].request.framing, Framing::Stx);
    EXPECT_EQ(log[0].request.command, 0xFC);
    EXPECT_EQ(log[0].request.data, Bytes{2});
    EXPECT_EQ(log[0].request.raw, Request(0xFC, {2}));
    EXPECT_EQ(log[0].lineBaud, 9600);
    EXPECT_FALSE(log[0].answered);
    EXPECT_EQ(log[1].request.framing, Framing::Crc);
    EXPECT_TRUE(log[1].answered);
    EXPECT_EQ(engine.RequestCount(), 2u);
    // The one-shot status was used up by the CRC request.
    EXPECT_FALSE(engine.GetMisbehaviour().nextStatus.has_value());

    engine.ClearRequests();
    EXPECT_TRUE(engine.Requests().empty());
    EXPECT_EQ(engine.RequestCount(), 0u);
}

TEST(ReaderEngine, GivesTheDelayToTheFrontAndAnswersEachRequestOfAChunk) {
    ReaderEngine engine;
    engine.SetReplyDelay(50ms);
    Bytes two = kStxVersionRequest;
    two.insert(two.end(), kCrcVersionRequest.begin(), kCrcVersionRequest.end());
    const auto replies = engine.Receive(two.data(), two.size(), 0, ReaderEngine::Clock::now());
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].delay, 50ms);
    EXPECT_EQ(replies[0].bytes, kStxVersionReply);
    EXPECT_EQ(replies[1].bytes, kCrcVersionReply);
}

}  // namespace
}  // namespace vsim
