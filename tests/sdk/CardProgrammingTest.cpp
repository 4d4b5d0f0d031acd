// Writing card numbers onto transponders of every chip type, checked frame by frame on the
// virtual reader's side.
#include <gtest/gtest.h>

#include <functional>

#include "ChipFixture.h"

using namespace testsupport;

namespace {

constexpr uint8_t kWrite = 0xC3;
constexpr uint8_t kMode = 0xFC;

std::vector<uint8_t> Data(uint8_t chip, uint8_t address, std::initializer_list<int> bytes) {
    std::vector<uint8_t> out = {chip, address};
    for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
    return out;
}

class CardProgramming : public ChipTest {};

}  // namespace

TEST_F(CardProgramming, T55xxWritesDataBlocksThenTheConfiguration) {
    struct Case {
        int chip;
        int flags;
        uint8_t dataLock;
        uint8_t configLock;
        std::initializer_list<int> configuration;
    };
    const Case cases[] = {
        {9, 0, 0x00, 0x00, {0x60, 0x70, 0x10, 0x60}},
        {9, 3, 0x80, 0x80, {0x60, 0x70, 0x10, 0x60}},
        {3, 0, 0x00, 0x00, {0x56, 0x80, 0x01, 0x60}},
        {17, 2, 0x00, 0x80, {0x60, 0x70, 0x10, 0x60}},
    };
    Open();
    for (const Case& c : cases) {
        Place(vsim::MakeCardChip(c.chip, 0x2000000000));
        // The reader is already in mode 2, in which such a card reads.
        ASSERT_EQ(LfSetReceiveMode(handle, 2), 0);
        reader->Engine().ClearRequests();
        ASSERT_EQ(LfWriteWiegand26(handle, c.chip, 1, 1, c.flags), 0) << c.chip;
        const uint8_t chip = static_cast<uint8_t>(c.chip);
        EXPECT_EQ(Sent(0xC2), (std::vector<std::vector<uint8_t>>{{chip, 0, 1}}));
        EXPECT_TRUE(Sent(kMode).empty());
        EXPECT_EQ(Sent(kWrite),
                  (std::vector<std::vector<uint8_t>>{
                      Data(chip, 0x01 | c.dataLock, {0x55, 0x59, 0x55, 0x1D}),
                      Data(chip, 0x02 | c.dataLock, {0x59, 0x55, 0x69, 0x55}),
                      Data(chip, 0x03 | c.dataLock, {0x59, 0x55, 0x55, 0x55}),
                      Data(chip, c.configLock, c.configuration),
                  }))
            << c.chip << " flags " << c.flags;
        EXPECT_EQ(reader->Engine().FieldSnapshot()->cardWord, 0x2006020002u);
    }
}

TEST_F(CardProgramming, FindsTheModeOfANewChipAndSwitchesToModeTwo) {
    Open();
    Place(FreshChip(9));  // reads in mode 5 only
    ASSERT_EQ(LfWriteWiegand26(handle, 9, 1, 1, 0), 0);
    // 0, 1, 2, 7, 5 searched; then mode 2 for reading the new configuration back.
    EXPECT_EQ(Sent(kMode), (std::vector<std::vector<uint8_t>>{{1}, {2}, {7}, {5}, {2}}));
    EXPECT_EQ(reader->Engine().ReceiveMode(), 2);
    EXPECT_EQ(vellf::CVel_LF_SDKApp::Instance().Lookup(handle)->m_receiveMode, 2);
}

TEST_F(CardProgramming, ALockedConfigurationIsConfirmedByReadingItBack) {
    Open();
    Place(FreshChip(9));
    ASSERT_EQ(LfWriteWiegand26(handle, 9, 1, 1, 2), 0);  // locks block 0 only
    reader->Engine().ClearRequests();
    // Block 0 refuses the write now, but already holds 60 70 10 60: counts as written.
    ASSERT_EQ(LfWriteWiegand26(handle, 9, 2, 2, 0), 0);
    EXPECT_EQ(Sent(kWrite).size(), 4u);
    EXPECT_EQ(LfGetLastError(handle), vsim::status::kWriteProtected);
    int facility = 0, number = 0;
    ASSERT_EQ(LfReadWiegand26(handle, &facility, &number), 0);
    EXPECT_EQ(facility, 2);
    EXPECT_EQ(number, 2);
}

TEST_F(CardProgramming, RetriesBlocksButNotATimeout) {
    Open("243c", 200);
    Place(FreshChip(9));
    reader->Engine().FailCommand(kWrite, 2, vsim::status::kNoTransponder);
    ASSERT_EQ(LfWriteWiegand26(handle, 9, 1, 1, 0), 0);
    EXPECT_EQ(Sent(kWrite).size(), 2u + 4u);

    reader->Engine().ClearRequests();
    reader->Engine().FailCommand(kWrite, 6, vsim::status::kNoTransponder);
    EXPECT_EQ(LfWriteWiegand26(handle, 9, 1, 1, 0), -1);
    EXPECT_EQ(Sent(kWrite).size(), 6u);
    EXPECT_EQ(LfGetLastError(handle), vsim::status::kNoTransponder);

    reader->Engine().ClearRequests();
    reader->Engine().TimeOutCommand(kWrite, 1);
    EXPECT_EQ(LfWriteWiegand26(handle, 9, 1, 1, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
    EXPECT_EQ(Sent(kWrite).size(), 1u);
}

TEST_F(CardProgramming, Ata5575M2GetsTheInvertedStreamAndItsConfigurationByte) {
    Open();
    Place(FreshChip(11));
    ASSERT_EQ(LfWriteWiegand26(handle, 11, 1, 1, 3), 0);
    EXPECT_EQ(Sent(kWrite),
              (std::vector<std::vector<uint8_t>>{
                  Data(11, 0x00, {0xE2, 0xAA, 0xA6, 0xAA, 0xAA, 0x96, 0xAA, 0xA6, 0xAA, 0xAA,
                                  0xAA, 0xA6}),
                  Data(11, 16, {0x6A}),
              }));
    // 0x6A write-protects the chip: the next write is refused.
    EXPECT_EQ(LfWriteWiegand26(handle, 11, 2, 2, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), vsim::status::kWriteProtected);
}

TEST_F(CardProgramming, Sic7888LogsInAndModifiesItsConfiguration) {
    Open();
    Place(FreshChip(12));  // configuration block 1 reads 00 00 00 00 at login
    ASSERT_EQ(LfWriteWiegand26(handle, 12, 1, 1, 3), 0);
    const auto writes = Sent(kWrite);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], Data(12, 4, {0x1D, 0x55, 0x59, 0x55, 0x55, 0x69, 0x55, 0x59, 0x55, 0x55,
                                      0x55, 0x59}));
    EXPECT_EQ(writes[1], Data(12, 1, {0x24, 0x36, 0xC0, 0x00}));
    EXPECT_EQ(Sent(0xC1).size(), 1u);
}

TEST_F(CardProgramming, Sic7888WithoutLoginIsAFailure) {
    Open();
    for (uint8_t command : {uint8_t{0xC0}, uint8_t{0xC1}}) {
        Place(FreshChip(12));
        reader->Engine().ClearRequests();
        reader->Engine().FailCommand(command, 1, vsim::status::kAccessDenied);
        EXPECT_EQ(LfWriteWiegand26(handle, 12, 1, 1, 0), -1);
        EXPECT_EQ(LfGetLastError(handle), vsim::status::kAccessDenied);
        EXPECT_TRUE(Sent(kWrite).empty());
    }
}

TEST_F(CardProgramming, NothingIsWrittenWhereNoModeOrChipFits) {
    Open();
    Place(vsim::MakeBlankChip(17));  // its block 0 reads plausibly in no mode
    EXPECT_EQ(LfWriteWiegand26(handle, 17, 1, 1, 0), -1);
    EXPECT_EQ(Sent(kMode), (std::vector<std::vector<uint8_t>>{{1}, {2}, {5}}));
    EXPECT_TRUE(Sent(kWrite).empty());

    reader->Engine().ClearRequests();
    EXPECT_EQ(LfWriteWiegand26(handle, 7, 1, 1, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), 10);
    EXPECT_EQ(reader->Engine().RequestCount(), 0u);
    EXPECT_EQ(LfWriteWiegand26(4711, 9, 1, 1, 0), -1);
}

TEST_F(CardProgramming, TellsWhetherAFailedWriteSentABlockCommand) {
    // SIC7888 configuration block 1 in FSK mode with its lock bit: the data block takes the
    // card, the configuration block, written last, refuses.
    constexpr uint32_t kLockedFskConfiguration = 0x00003624;
    struct Case {
        const char* name;
        int chip;
        std::function<std::unique_ptr<vsim::Transponder>()> make;
        std::function<void(vsim::ReaderEngine&)> fault;
        int result;
        int sent;
    };
    const auto none = [](vsim::ReaderEngine&) {};
    const Case cases[] = {
        {"written", 9, [] { return FreshChip(9); }, none, 0, 1},
        {"no receive mode fits", 17, [] { return vsim::MakeBlankChip(17); }, none, -1, 0},
        {"chip type not supported", 7, [] { return FreshChip(9); }, none, -1, 0},
        {"login refused", 12, [] { return FreshChip(12); },
         [](vsim::ReaderEngine& engine) {
             engine.FailCommand(0xC1, 1, vsim::status::kAccessDenied);
         },
         -1, 0},
        {"first block answered no transponder", 9, [] { return FreshChip(9); },
         [](vsim::ReaderEngine& engine) {
             engine.FailCommand(kWrite, 6, vsim::status::kNoTransponder);
         },
         -1, 1},
        {"last block refused", 12,
         [] { return vsim::MakeConfiguredChip(12, kLockedFskConfiguration); }, none, -1, 1},
    };
    Open();
    EXPECT_EQ(LfWriteSentBlocks(handle), 0);  // no write yet
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A successful write before each case: the answer is the last write's own.
        Place(FreshChip(9));
        ASSERT_EQ(LfWriteWiegand26(handle, 9, 2, 2, 0), 0);
        ASSERT_EQ(LfWriteSentBlocks(handle), 1);
        Place(c.make());
        c.fault(reader->Engine());
        EXPECT_EQ(LfWriteWiegand26(handle, c.chip, 1, 1, 0), c.result);
        EXPECT_EQ(LfWriteSentBlocks(handle), c.sent);
        reader->Engine().ResetMisbehaviour();
    }
    EXPECT_EQ(LfWriteSentBlocks(4711), -1);
}

TEST_F(CardProgramming, AChipThatRefusesItsLastBlockCarriesTheNewCardAll) {
    Open();
    Place(vsim::MakeConfiguredChip(12, 0x00003624));
    EXPECT_EQ(LfWriteWiegand26(handle, 12, 1, 1, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), vsim::status::kWriteProtected);
    EXPECT_EQ(LfWriteSentBlocks(handle), 1);
    // The data went out first: the chip now sends the new card.
    EXPECT_EQ(reader->Engine().FieldSnapshot()->cardWord, 0x2006020002u);
}
