#include <gtest/gtest.h>

#include <string>

#include "Frame.h"

using namespace vellf;

namespace {
std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}
}  // namespace

TEST(Frame, CrcOfTheCheckString) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x4B37);
}

TEST(Frame, BuildsBothFramings) {
    EXPECT_EQ(BuildFrame({0xF0}, 1, false), Bytes({0x02, 0x01, 0xF0, 0x00, 0xF1}));
    EXPECT_EQ(BuildFrame({0xF0}, 1, true), Bytes({0x01, 0xF0, 0x00, 0x64, 0x00}));
    // Data follows the length; the BCC covers address to last data byte, not STX.
    EXPECT_EQ(BuildFrame({0xC2, 9, 0, 1}, 5, false),
              Bytes({0x02, 0x05, 0xC2, 0x03, 9, 0, 1, 0x05 ^ 0xC2 ^ 0x03 ^ 9 ^ 0 ^ 1}));
}

TEST(Frame, ChecksReplies) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool crc;
        ReplyCheck check;
        uint8_t status;
    };
    const std::vector<uint8_t> good = Bytes({0x02, 0x01, 0x00, 0x04, 0x30, 0x35, 0x33, 0x41, 0x72});
    std::vector<uint8_t> crcReply = Bytes({0x07, 0x00, 0x01, 0x5A});
    const uint16_t crc = Crc16(crcReply.data(), crcReply.size());
    crcReply.push_back(crc & 0xFF);
    crcReply.push_back(crc >> 8);
    std::vector<uint8_t> badBcc = good;
    badBcc.back() ^= 1;
    std::vector<uint8_t> badCrcLow = crcReply;
    badCrcLow[badCrcLow.size() - 2] ^= 0x80;
    std::vector<uint8_t> badCrcHigh = crcReply;
    badCrcHigh.back() ^= 0x01;
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0x99);
    const Case cases[] = {
        {"good STX reply", good, false, ReplyCheck::Ok, 0},
        {"bytes behind the frame ignored", trailing, false, ReplyCheck::Ok, 0},
        {"good CRC reply from another address", crcReply, true, ReplyCheck::Ok, 0},
        {"empty", {}, false, ReplyCheck::Empty, 0},
        {"shorter than five", Bytes({0x02, 0x01, 0x00, 0x00}), false, ReplyCheck::Short, 0},
        {"shorter than LEN promises", Bytes({0x02, 0x01, 0x00, 0x04, 0x30, 0x31}), false,
         ReplyCheck::Short, 0},
        {"wrong BCC", badBcc, false, ReplyCheck::Checksum, 0},
        {"wrong CRC low byte", badCrcLow, true, ReplyCheck::Checksum, 0},
        {"wrong CRC high byte", badCrcHigh, true, ReplyCheck::Checksum, 0},
        {"a good CRC frame read as STX framing", crcReply, false, ReplyCheck::Short, 0},
        {"noise before a CRC frame", Bytes({0x55, 0x07, 0x00, 0x01, 0x5A, 0x00}), true,
         ReplyCheck::Checksum, 0},
        {"status 0x15", Bytes({0x02, 0x01, 0x15, 0x00, 0x01 ^ 0x15}), false, ReplyCheck::Status,
         0x15},
    };
    for (const Case& c : cases) {
        CheckedReply reply = CheckReply(c.bytes, c.crc);
        EXPECT_EQ(reply.check, c.check) << c.what;
        EXPECT_EQ(reply.status, c.status) << c.what;
    }
    EXPECT_EQ(CheckReply(good, false).data, Bytes({0x30, 0x35, 0x33, 0x41}));
    EXPECT_EQ(CheckReply(crcReply, true).data, Bytes({0x5A}));
}
