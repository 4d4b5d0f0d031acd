// Reading card numbers, raw data and chip identifications, and the reader commands around
// them, against transponders on the virtual reader's field.
#include <gtest/gtest.h>

#include <chrono>

#include "ChipFixture.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint8_t kReadFields = 0xC5;
constexpr uint8_t kReadRaw = 0xC7;
constexpr uint64_t kCard26_1_1 = 0x2006020002;  // format 26, facility 1, number 1

class CardReading : public ChipTest {};

}  // namespace

TEST_F(CardReading, ReaderSideOrHostSideDecoding) {
    struct Case {
        const char* version;
        bool readerDecodes;
    };
    for (const Case c : {Case{"243c", true}, Case{"2434", false}}) {
        Open(c.version);
        Place(vsim::MakeCardChip(9, kCard26_1_1));
        int facility = -1, number = -1;
        ASSERT_EQ(LfReadWiegand26(handle, &facility, &number), 0) << c.version;
        EXPECT_EQ(facility, 1);
        EXPECT_EQ(number, 1);
        if (c.readerDecodes) {
            EXPECT_EQ(Sent(kReadFields), (std::vector<std::vector<uint8_t>>{{0, 0x21}}));
        } else {
            EXPECT_EQ(Sent(kReadRaw), (std::vector<std::vector<uint8_t>>{{4, 6}}));
        }
        // The 34-bit NC format is always decoded here.
        Place(vsim::MakeCardChip(9, 0x2400020002));
        reader->Engine().ClearRequests();
        ASSERT_EQ(LfReadWiegand34NC(handle, &facility, &number), 0);
        EXPECT_EQ(Sent(kReadRaw), (std::vector<std::vector<uint8_t>>{{4, 6}}));
        EXPECT_EQ(number, 1);
        LfClosePort(handle);
        handle = 0;
    }
}

TEST_F(CardReading, CardsOfAnotherFormatOrWithParityErrors) {
    Open("2434");
    Place(vsim::MakeCardChip(9, kCard26_1_1));
    int a = -1, b = -1;
    EXPECT_EQ(LfReadWiegand37(handle, &a, &b), -1);
    EXPECT_EQ(LfGetLastError(handle), 25);
    EXPECT_EQ(a, -1);  // nothing written for a card of another length
    EXPECT_EQ(LfReadWiegand34(handle, &a, &b), -1);
    EXPECT_EQ(LfGetLastError(handle), 25);

    Place(vsim::MakeCardChip(9, kCard26_1_1 ^ (1u << 5)));  // number bit 4 flipped
    EXPECT_EQ(LfReadWiegand26(handle, &a, &b), -1);
    EXPECT_EQ(LfGetLastError(handle), 14);
    EXPECT_EQ(a, 1);  // the fields are still there
    EXPECT_EQ(b, 17);
    EXPECT_EQ(LfReadWiegand26(handle, nullptr, nullptr), -1);
}

TEST_F(CardReading, NeedsTheExtendedCommandSet) {
    Open("0296");
    int a, b;
    EXPECT_EQ(LfReadWiegand26(handle, &a, &b), -1);
    EXPECT_EQ(LfGetLastError(handle), 24);
    EXPECT_EQ(reader->Engine().RequestCount(), 0u);
}

TEST_F(CardReading, AManchesterCardAnswersTheRawProbes) {
    Open("2434");
    const std::vector<uint8_t> em = {0xFF, 0x80, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    Place(vsim::MakeManchesterCard(em));
    int a, b;
    EXPECT_EQ(LfReadWiegand26(handle, &a, &b), -1);
    EXPECT_EQ(LfGetLastError(handle), 21);
    unsigned char raw[16];
    EXPECT_EQ(LfReadRawData(handle, 0, raw, 8), 8);
    EXPECT_EQ(std::vector<uint8_t>(raw, raw + 8), em);
    EXPECT_EQ(LfReadRawData(handle, 1, raw, 16), -1);
    EXPECT_EQ(Sent(kReadRaw).back(), (std::vector<uint8_t>{1, 16}));

    reader->Engine().RemoveTransponder();
    EXPECT_EQ(LfReadRawData(handle, 0, raw, 8), -1);
    EXPECT_EQ(LfReadWiegand26(handle, &a, &b), -1);
}

TEST_F(CardReading, ChipIdentificationWithItsOwnTimeout) {
    Open("243c", 200);
    Place(vsim::MakeCardChip(9, kCard26_1_1));
    const vsim::ChipId id = *reader->Engine().FieldSnapshot()->id;
    reader->Engine().SetReplyDelay(std::chrono::milliseconds(400));
    unsigned char buffer[8];
    ASSERT_EQ(LfReadChipId(handle, 9, buffer, sizeof buffer), 8);
    EXPECT_TRUE(std::equal(id.begin(), id.end(), buffer));
    EXPECT_EQ(Sent(0xC0), (std::vector<std::vector<uint8_t>>{{9, 0}}));
    EXPECT_EQ(PortOf(handle)->m_timeoutMs, 200u);
    EXPECT_EQ(LfReadChipId(handle, 9, buffer, 7), -1);
    EXPECT_EQ(LfGetLastError(handle), 8);
    reader->Engine().SetReplyDelay(std::chrono::milliseconds(0));
    reader->Engine().RemoveTransponder();
    EXPECT_EQ(LfReadChipId(handle, 9, buffer, sizeof buffer), -1);
    EXPECT_EQ(PortOf(handle)->m_timeoutMs, 200u);
}

TEST_F(CardReading, ResetField) {
    Open();
    ASSERT_EQ(LfResetField(handle, 9), 0);
    EXPECT_EQ(Sent(0xC4), (std::vector<std::vector<uint8_t>>{{9, 1}}));
    reader->Engine().FailCommand(0xF5, 2, 0x01);
    const auto start = Clock::now();
    EXPECT_EQ(LfResetField(handle, 0), 0);  // succeeds whatever the reader says
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(Sent(0xF5), (std::vector<std::vector<uint8_t>>{{0}, {1}}));
}

TEST_F(CardReading, ReaderCommands) {
    Open("2430");  // capabilities 0x01F3
    EXPECT_EQ(LfSetReceiveMode(handle, 2), 0);
    EXPECT_EQ(LfSetReceiveMode(handle, 2), 0);
    EXPECT_EQ(Sent(0xFC), (std::vector<std::vector<uint8_t>>{{2}}));

    unsigned char buffer[16];
    EXPECT_EQ(LfGetSerialNumber(handle, buffer, sizeof buffer), 4);
    EXPECT_EQ(LfReadBlocks(handle, 9, 12, buffer, 4), -1);
    EXPECT_EQ(LfGetLastError(handle), 12);
    EXPECT_EQ(LfReadBlocks(handle, 40, 0, buffer, 4), -1);
    EXPECT_EQ(LfGetLastError(handle), 10);
    reader->Engine().ClearRequests();
    LfReadBlocks(handle, 11, 16, buffer, 1);
    EXPECT_EQ(Sent(0xC2), (std::vector<std::vector<uint8_t>>{{11, 16, 1}}));

    EXPECT_EQ(LfSetDeviceMode(handle, 4), -1);
    EXPECT_EQ(LfGetLastError(handle), 18);
    EXPECT_EQ(LfSetDeviceMode(handle, 131), 0);
    EXPECT_EQ(LfSetUsbMode(handle, 2), 0);
    EXPECT_EQ(LfResetReader(handle, 0, 0), 0);
    EXPECT_EQ(reader->Engine().DeviceMode(), 131);
    EXPECT_EQ(reader->Engine().UsbMode(), 2);
}

TEST_F(CardReading, ReceiveModesOnlyWhereTheReaderHasThem) {
    Open("0390");  // capabilities 0x0073: modes 0 and 1 only
    EXPECT_EQ(LfSetReceiveMode(handle, 2), 0);
    EXPECT_TRUE(Sent(0xFC).empty());
    EXPECT_EQ(LfSetReceiveMode(handle, 1), 0);
    EXPECT_EQ(Sent(0xFC), (std::vector<std::vector<uint8_t>>{{1}}));
}
