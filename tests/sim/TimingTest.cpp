#include <gtest/gtest.h>

#include "Timing.h"
#include "TransponderExchange.h"

namespace vsim {
namespace {

using namespace vsim::testing;
using namespace std::chrono_literals;
using timing::Micros;

Request MakeRequest(uint8_t command, Bytes data) {
    Request request;
    request.command = command;
    request.data = std::move(data);
    request.raw = BuildFrame({Framing::Stx, 1, command, request.data});
    return request;
}

TEST(Timing, FiguresHaveTheOrdersOfMagnitudeOfARealReader) {
    EXPECT_EQ(timing::kFieldClock, 8us);
    EXPECT_GE(timing::kBlockWriteTime, 20ms);
    EXPECT_LE(timing::kBlockWriteTime, 25ms);
    EXPECT_GE(timing::kBlockReadTime, 15ms);
    EXPECT_LE(timing::kBlockReadTime, 20ms);
    EXPECT_EQ(timing::kChipIdReadTime, 2 * timing::kBlockReadTime);
    EXPECT_EQ(timing::kCardReadTime, 2 * timing::kBlockReadTime);
}

TEST(Timing, WireTimeCountsTenBitsPerByteRoundedUp) {
    EXPECT_EQ(timing::WireTime(10, 9600), Micros{10417});
    EXPECT_EQ(timing::WireTime(12, 115200), Micros{1042});
    EXPECT_EQ(timing::WireTime(10, 0), Micros{0});
    EXPECT_EQ(timing::WireTime(0, 9600), Micros{0});
}

TEST(Timing, RadioTimeFollowsTheBlocksACommandMoves) {
    const Bytes four(4, 0xAA), twelve(12, 0xAA);
    struct Case {
        uint8_t command;
        Bytes data;
        Micros expected;
    };
    const Case cases[] = {
        {0xC3, Concat({9, 0x81}, four), Micros{20800}},
        {0xC3, Concat({9, 0x01}, twelve), Micros{3 * 20800}},
        {0xC3, Concat({11, 0}, twelve), Micros{3 * 20800}},
        {0xC3, {11, 16, 0x0A}, Micros{20800}},
        {0xC2, {9, 0, 1}, Micros{15200}},
        {0xC2, {12, 4, 3}, Micros{3 * 15200}},
        {0xC2, {11, 0, 12}, Micros{3 * 15200}},
        {0xC2, {11, 16, 1}, Micros{15200}},
        {0xC0, {9, 0}, Micros{30400}},
        {0xC7, {4, 6}, Micros{30400}},
        {0xC5, {0, 0x21}, Micros{30400}},
        {0xC1, Concat({12}, Bytes(8, 1)), Micros{40800}},
        {0xC4, {9, 1}, Micros{2048}},
        {0xF0, {}, Micros{0}},
        {0xFC, {2}, Micros{0}},
        {0xC2, {9}, Micros{0}},  // malformed: the reader refuses it at once
    };
    for (const Case& c : cases) {
        EXPECT_EQ(timing::RadioTime(MakeRequest(c.command, c.data)), c.expected)
            << std::hex << int{c.command} << " " << c.data.size();
    }
}

TEST(Timing, RealisticTimingDelaysRepliesOnlyWhileSwitchedOn) {
    ReaderEngine engine;
    // 0xC3 with one block: an 11-byte request and a 5-byte reply at 9600 baud take 11459 us
    // and 5209 us on the line, the block write 20800 us: 37468 us in all.
    const Bytes request = BuildFrame({Framing::Stx, 1, 0xC3, {9, 1, 1, 2, 3, 4}});
    auto delayAt = [&](int baud) {
        const auto out =
            engine.Receive(request.data(), request.size(), baud, ReaderEngine::Clock::now());
        EXPECT_EQ(out.size(), 1u);
        return out.empty() ? -1ms : out[0].delay;
    };
    EXPECT_FALSE(engine.RealisticTiming());
    EXPECT_EQ(delayAt(9600), 0ms);
    engine.SetRealisticTiming(true);
    EXPECT_EQ(delayAt(9600), 38ms);
    EXPECT_EQ(delayAt(0), 21ms);
    engine.SetReplyDelay(50ms);
    EXPECT_EQ(delayAt(9600), 88ms);
    engine.SetRealisticTiming(false);
    EXPECT_EQ(delayAt(9600), 50ms);
}

}  // namespace
}  // namespace vsim
