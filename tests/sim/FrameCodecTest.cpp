#include <gtest/gtest.h>

#include <string>

#include "FrameCodec.h"
#include "FrameScanner.h"

namespace vsim {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

TEST(FrameCodec, ChecksumsMatchTheirCheckValues) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x4B37);
    const Bytes covered = {0x01, 0xF0, 0x00};
    EXPECT_EQ(Bcc(covered.data(), covered.size()), 0xF1);
}

TEST(FrameCodec, BuildsRepliesInBothFramings) {
    const Bytes data = {'0', '5', '3', 'A'};
    EXPECT_EQ(BuildFrame({Framing::Stx, 1, 0x00, data}),
              (Bytes{0x02, 0x01, 0x00, 0x04, 0x30, 0x35, 0x33, 0x41, 0x72}));
    EXPECT_EQ(BuildFrame({Framing::Crc, 1, 0x00, data}),
              (Bytes{0x01, 0x00, 0x04, 0x30, 0x35, 0x33, 0x41, 0x31, 0xCE}));
    EXPECT_EQ(BuildFrame({Framing::Crc, 1, 0xF0, {}}), (Bytes{0x01, 0xF0, 0x00, 0x64, 0x00}));
}

TEST(FrameCodec, ParseTellsValidIncompleteAndInvalidApart) {
    struct Case {
        Framing framing;
        Bytes bytes;
        ParseState expected;
    };
    const Case cases[] = {
        {Framing::Stx, {0x02, 0x01, 0xF0, 0x00, 0xF1}, ParseState::Valid},
        {Framing::Stx, {0x02, 0x01, 0xF0, 0x00}, ParseState::Incomplete},
        {Framing::Stx, {0x02, 0x01, 0xF0, 0x00, 0xF2}, ParseState::Invalid},
        {Framing::Stx, {0x03}, ParseState::Invalid},
        {Framing::Stx, {}, ParseState::Incomplete},
        {Framing::Crc, {0x01, 0xF0, 0x00, 0x64, 0x00}, ParseState::Valid},
        {Framing::Crc, {0x01, 0xF0, 0x00, 0x64}, ParseState::Incomplete},
        {Framing::Crc, {0x01, 0xF0, 0x00, 0x64, 0x01}, ParseState::Invalid},
    };
    for (const Case& c : cases) {
        const ParseResult result = ParseFrame(c.framing, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(result.state, c.expected) << ::testing::PrintToString(c.bytes);
    }
    const Bytes request = {0x02, 0x07, 0xC2, 0x03, 0x09, 0x00, 0x01, 0xCE};
    const ParseResult result = ParseFrame(Framing::Stx, request.data(), request.size());
    ASSERT_EQ(result.state, ParseState::Valid);
    EXPECT_EQ(result.size, 8u);
    EXPECT_EQ(result.frame.address, 0x07);
    EXPECT_EQ(result.frame.code, 0xC2);
    EXPECT_EQ(result.frame.data, (Bytes{0x09, 0x00, 0x01}));
}

// Feeds the chunks at the given offsets in milliseconds and returns the commands found.
Bytes Scan(FrameScanner& scanner, const std::vector<std::pair<int, Bytes>>& chunks) {
    const auto start = FrameScanner::Clock::now();
    Bytes commands;
    for (const auto& [at, bytes] : chunks) {
        scanner.Push(bytes.data(), bytes.size(), start + std::chrono::milliseconds(at));
        while (auto received = scanner.Next()) commands.push_back(received->frame.code);
    }
    return commands;
}

TEST(FrameScanner, FindsFramesBehindNoiseAndAcrossChunks) {
    const Bytes stxVersion = {0x02, 0x01, 0xF0, 0x00, 0xF1};
    const Bytes crcVersion = {0x01, 0xF0, 0x00, 0x64, 0x00};
    Bytes noisy = {0x55, 0xAA};
    noisy.insert(noisy.end(), stxVersion.begin(), stxVersion.end());
    Bytes both = stxVersion;
    both.insert(both.end(), crcVersion.begin(), crcVersion.end());

    struct Case {
        const char* name;
        std::vector<std::pair<int, Bytes>> chunks;
        Bytes commands;
    };
    const Case cases[] = {
        {"noise before STX frame", {{0, noisy}}, {0xF0}},
        {"one byte at a time",
         {{0, {0x02}}, {1, {0x01}}, {2, {0xF0}}, {3, {0x00}}, {4, {0xF1}}},
         {0xF0}},
        {"two framings back to back", {{0, both}}, {0xF0, 0xF0}},
        {"CRC frame to address 2, which looks like STX",
         {{0, BuildFrame({Framing::Crc, 2, 0xF8, {}})}},
         {0xF8}},
        {"slow but not stale", {{0, {0x02, 0x01}}, {150, {0xF0, 0x00, 0xF1}}}, {0xF0}},
        {"stale partial frame dropped", {{0, {0x02, 0x01, 0xF0}}, {250, stxVersion}}, {0xF0}},
        {"garbage that waits for a long frame is dropped once stale",
         {{0, {0x33}}, {0, crcVersion}, {250, crcVersion}},
         {0xF0}},
    };
    for (const Case& c : cases) {
        FrameScanner scanner;
        EXPECT_EQ(Scan(scanner, c.chunks), c.commands) << c.name;
    }
}

TEST(FrameScanner, KeepsTheRawBytesOfAFrame) {
    FrameScanner scanner;
    const Bytes bytes = {0xEE, 0x02, 0x01, 0xF0, 0x00, 0xF1};
    scanner.Push(bytes.data(), bytes.size(), FrameScanner::Clock::now());
    const auto received = scanner.Next();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->frame.framing, Framing::Stx);
    EXPECT_EQ(received->raw, Bytes(bytes.begin() + 1, bytes.end()));
    EXPECT_EQ(scanner.Pending(), 0u);
}

}  // namespace
}  // namespace vsim
