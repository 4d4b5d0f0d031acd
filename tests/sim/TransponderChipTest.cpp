// The chip models behind the block commands: writing, locking, reading, receive modes, login.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TransponderExchange.h"
#include "TransponderFactory.h"
#include "TransponderModes.h"
#include "cards/CardFormat.h"

namespace vsim {
namespace {

using namespace vsim::testing;

constexpr uint8_t kReadChipId = 0xC0, kLogin = 0xC1, kRead = 0xC2, kWrite = 0xC3, kReset = 0xC4,
                  kRaw = 0xC7, kField = 0xF5, kMode = 0xFC;

// Receive modes the reader knows.
constexpr int kModes[] = {0, 1, 2, 5, 6, 7, 128, 129, 130, 133, 134, 135};

uint32_t FskConfiguration(int chipType) {
    return chipType == 3 ? 0x60018056 : 0x60107060;
}

// A T55xx-family chip configured for FSK, on a reader in receive mode 2.
void PlaceFskChip(ReaderEngine& engine, int chipType) {
    engine.PlaceTransponder(MakeConfiguredChip(chipType, FskConfiguration(chipType)));
    engine.SetReceiveMode(2);
}

TEST(T55xxChip, WritesLocksAndReadsConsecutiveBlocks) {
    struct Case {
        int chipType;
        uint8_t lastBlock;
    };
    for (const Case c : {Case{3, 7}, Case{9, 11}, Case{13, 7}, Case{17, 15}, Case{21, 15}}) {
        SCOPED_TRACE(c.chipType);
        ReaderEngine engine;
        PlaceFskChip(engine, c.chipType);
        const uint8_t type = static_cast<uint8_t>(c.chipType);
        const Bytes two = {1, 2, 3, 4, 5, 6, 7, 8};

        // Two blocks from block 1, locked after writing; block 3 stays open.
        EXPECT_EQ(Exchange(engine, kWrite, Concat({type, 0x81}, two)), Ok());
        EXPECT_EQ(Exchange(engine, kWrite, {type, 0x03, 9, 9, 9, 9}), Ok());
        EXPECT_EQ(Exchange(engine, kRead, {type, 1, 3}), Ok(Concat(two, {9, 9, 9, 9})));
        for (uint8_t address : {0x02, 0x82}) {
            EXPECT_EQ(Exchange(engine, kWrite, {type, address, 0, 0, 0, 0}),
                      Failed(status::kWriteProtected));
        }
        // A write touching a locked block changes none of its blocks.
        EXPECT_EQ(Exchange(engine, kWrite, {type, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}),
                  Failed(status::kWriteProtected));
        EXPECT_EQ(Exchange(engine, kRead, {type, 0, 1}), Ok(BlockBytes(FskConfiguration(type))));

        EXPECT_EQ(Exchange(engine, kRead, {type, c.lastBlock, 1}), Ok({0, 0, 0, 0}));
        EXPECT_EQ(Exchange(engine, kRead, {type, c.lastBlock, 2}), Failed(status::kBadParameter));
        EXPECT_EQ(
            Exchange(engine, kWrite, {type, static_cast<uint8_t>(c.lastBlock + 1), 1, 2, 3, 4}),
            Failed(status::kBadParameter));
        EXPECT_EQ(Exchange(engine, kWrite, {type, 4, 1, 2, 3}), Failed(status::kBadLength));

        const TransponderSnapshot snapshot = *engine.FieldSnapshot();
        EXPECT_EQ(snapshot.UnitCount(), c.lastBlock + 1u);
        std::vector<bool> locked(c.lastBlock + 1u, false);
        locked[1] = locked[2] = true;
        EXPECT_EQ(snapshot.locked, locked);
        EXPECT_EQ(snapshot.BlockValue(2), 0x08070605u);
    }
}

TEST(T55xxChip, TheStationsWriteSequenceMakesACardReadableInMode2) {
    // Blocks 1-3 with the stream of format 26, facility 1, number 1, then the configuration,
    // everything locked, as the station sends it onto a blank chip found in mode 5.
    ReaderEngine engine;
    engine.PlaceTransponder(MakeConfiguredChip(9, 0x000880E8));
    engine.SetReceiveMode(5);
    EXPECT_EQ(Exchange(engine, kRead, {9, 0, 1}), Ok({0xE8, 0x80, 0x08, 0x00}));
    for (const Bytes& request :
         {Bytes{9, 0x81, 0x55, 0x59, 0x55, 0x1D}, Bytes{9, 0x82, 0x59, 0x55, 0x69, 0x55},
          Bytes{9, 0x83, 0x59, 0x55, 0x55, 0x55}, Bytes{9, 0x80, 0x60, 0x70, 0x10, 0x60}}) {
        EXPECT_EQ(Exchange(engine, kWrite, request), Ok());
    }
    EXPECT_EQ(Exchange(engine, kRead, {9, 0, 1}), Failed(status::kNoTransponder));
    EXPECT_EQ(Exchange(engine, kMode, {2}), Ok());
    EXPECT_EQ(Exchange(engine, kRead, {9, 0, 1}), Ok({0x60, 0x70, 0x10, 0x60}));

    const TransponderSnapshot snapshot = *engine.FieldSnapshot();
    EXPECT_EQ(snapshot.cardWord, vellf::EncodeCardWord(26, 1, 1, 0));
    EXPECT_EQ(snapshot.locked, (std::vector<bool>{true, true, true, true, false, false, false,
                                                  false, false, false, false, false}));
}

TEST(T55xxChip, AnswersOnlyInTheReceiveModesItsConfigurationSelects) {
    struct Case {
        int chipType;
        uint32_t configuration;
        std::vector<int> modes;
    };
    const Case cases[] = {
        {9, 0x60107060, {2}},
        {13, 0x60107060, {2}},
        {21, 0x60107060, {2}},
        {17, 0x60107060, {2}},
        {3, 0x60018056, {2}},
        {9, 0x000880E8, {5}},
        {9, 0x00148040, {0}},
        {17, 0x00148040, {}},
        {9, 0x00000000, {}},
        {3, 0x00000000, {}},
        {17, 0x00000000, {}},
        {3, 0x6001F004, {0}},
        {9, 0x007E8002 | 0x20000, {128}},  // extended mode bit set
        {9, 0x00325002 | 0x20000, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.chipType << " " << std::hex << c.configuration);
        ReaderEngine engine;
        engine.PlaceTransponder(MakeConfiguredChip(c.chipType, c.configuration));
        std::vector<int> readable;
        for (int mode : kModes) {
            engine.SetReceiveMode(mode);
            const Answer answer = Exchange(engine, kRead, {static_cast<uint8_t>(c.chipType), 0, 1});
            if (answer == Ok(BlockBytes(c.configuration))) {
                readable.push_back(mode);
            } else {
                EXPECT_EQ(answer, Failed(status::kNoTransponder)) << "mode " << mode;
            }
        }
        EXPECT_EQ(readable, c.modes);
    }
}

TEST(T55xxChip, APasswordAta5577SendsItsCardButAnswersNoBlockReadAndTakesNoWrite) {
    const uint64_t word = vellf::EncodeCardWord(26, 7, 7, 0);
    ReaderEngine engine;
    engine.PlaceTransponder(MakePasswordChip(9, word));
    EXPECT_EQ(Exchange(engine, kReadChipId, {9, 0}).status, status::kOk);
    for (int mode : kModes) {
        engine.SetReceiveMode(mode);
        EXPECT_EQ(Exchange(engine, kRead, {9, 0, 1}), Failed(status::kNoTransponder)) << mode;
    }
    EXPECT_EQ(Exchange(engine, kWrite, {9, 1, 0, 0, 0, 0}), Failed(status::kNoTransponder));
    EXPECT_EQ(engine.FieldSnapshot()->cardWord, word);
    EXPECT_EQ(MakePasswordChip(3, word), nullptr);
}

TEST(TransponderChips, AWeakChipAcknowledgesWritesAndKeepsItsData) {
    ReaderEngine engine;
    EXPECT_FALSE(engine.SetTransponderWeak(true));
    PlaceFskChip(engine, 9);
    ASSERT_TRUE(engine.SetTransponderWeak(true));
    const auto before = engine.FieldSnapshot()->memory;
    EXPECT_EQ(Exchange(engine, kWrite, {9, 1, 1, 2, 3, 4}), Ok({}));
    EXPECT_EQ(engine.FieldSnapshot()->memory, before);
    ASSERT_TRUE(engine.SetTransponderWeak(false));
    EXPECT_EQ(Exchange(engine, kWrite, {9, 1, 1, 2, 3, 4}), Ok({}));
    EXPECT_EQ(engine.FieldSnapshot()->BlockValue(1), 0x04030201u);
}

TEST(TransponderChips, AnswerOnlyRequestsForTheirOwnChipTypeWhileTheFieldIsOn) {
    ReaderEngine engine;
    PlaceFskChip(engine, 9);
    EXPECT_EQ(Exchange(engine, kRead, {9, 0, 1}).status, status::kOk);
    for (uint8_t other : {3, 11, 12, 13, 17}) {
        EXPECT_EQ(Exchange(engine, kRead, {other, 0, 1}), Failed(status::kNoTransponder));
        EXPECT_EQ(Exchange(engine, kReadChipId, {other, 0}), Failed(status::kNoTransponder));
        EXPECT_EQ(Exchange(engine, kWrite, {other, 1, 1, 2, 3, 4}), Failed(status::kNoTransponder));
    }
    EXPECT_EQ(Exchange(engine, kField, {0}), Ok());
    EXPECT_EQ(Exchange(engine, kReadChipId, {9, 0}), Failed(status::kNoTransponder));
    EXPECT_EQ(Exchange(engine, kField, {1}), Ok());
    const Answer id = Exchange(engine, kReadChipId, {9, 0});
    EXPECT_EQ(id.status, status::kOk);
    const ChipId placedId = *engine.FieldSnapshot()->id;
    EXPECT_EQ(Bytes(placedId.begin(), placedId.end()), id.data);

    engine.RemoveTransponder();
    EXPECT_FALSE(engine.FieldSnapshot().has_value());
    EXPECT_EQ(Exchange(engine, kReadChipId, {9, 0}), Failed(status::kNoTransponder));
    EXPECT_EQ(Exchange(engine, kReset, {9, 1}), Ok());
}

TEST(TransponderChips, IdentificationsAreUniqueAndSettable) {
    ReaderEngine engine;
    std::vector<Bytes> ids;
    for (int i = 0; i < 3; ++i) {
        engine.PlaceTransponder(MakeBlankChip(12));
        ids.push_back(Exchange(engine, kReadChipId, {12, 0}).data);
        ASSERT_EQ(ids.back().size(), 8u);
    }
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    EXPECT_TRUE(engine.SetTransponderId({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Exchange(engine, kReadChipId, {12, 0}), Ok({1, 2, 3, 4, 5, 6, 7, 8}));
    engine.RemoveTransponder();
    EXPECT_FALSE(engine.SetTransponderId({}));
}

TEST(M2Chip, WritesBytesAndIsProtectedByItsConfigurationByte) {
    ReaderEngine engine;
    engine.PlaceTransponder(MakeBlankChip(11));
    // A blank M2 answers in mode 1 only.
    engine.SetReceiveMode(2);
    EXPECT_EQ(Exchange(engine, kRead, {11, 16, 1}), Failed(status::kNoTransponder));
    engine.SetReceiveMode(1);
    EXPECT_EQ(Exchange(engine, kRead, {11, 16, 1}), Ok({0}));

    // Format 26, facility 1, number 1, as the station writes it with flags 3.
    const Bytes inverted = {0xE2, 0xAA, 0xA6, 0xAA, 0xAA, 0x96, 0xAA, 0xA6, 0xAA, 0xAA, 0xAA, 0xA6};
    EXPECT_EQ(Exchange(engine, kWrite, Concat({11, 0}, inverted)), Ok());
    EXPECT_EQ(Exchange(engine, kRead, {11, 3, 2}), Ok({0xAA, 0xAA}));
    EXPECT_EQ(Exchange(engine, kWrite, {11, 16, 0x6A}), Ok());
    EXPECT_EQ(Exchange(engine, kRead, {11, 0, 1}), Failed(status::kNoTransponder));
    engine.SetReceiveMode(2);
    EXPECT_EQ(Exchange(engine, kRead, {11, 0, 12}), Ok(inverted));
    EXPECT_EQ(Exchange(engine, kRead, {11, 16, 2}), Failed(status::kBadParameter));
    EXPECT_EQ(Exchange(engine, kWrite, {11, 5, 0}), Failed(status::kWriteProtected));
    EXPECT_EQ(Exchange(engine, kWrite, {11, 16, 0x0A}), Failed(status::kWriteProtected));

    const TransponderSnapshot snapshot = *engine.FieldSnapshot();
    EXPECT_EQ(snapshot.unitSize, 1u);
    EXPECT_EQ(snapshot.memory.size(), 17u);
    EXPECT_EQ(snapshot.cardWord, vellf::EncodeCardWord(26, 1, 1, 0));
    EXPECT_EQ(snapshot.locked, std::vector<bool>(17, true));

    engine.PlaceTransponder(MakeBlankChip(11));
    EXPECT_EQ(Exchange(engine, kWrite, {11, 10, 1, 2, 3, 4, 5, 6, 7, 8}),
              Failed(status::kBadParameter));
}

TEST(Sic7888Chip, WritesOnlyAfterALoginThatLastsUntilTheFieldIsSwitched) {
    ReaderEngine engine;
    engine.PlaceTransponder(MakeBlankChip(12));
    const std::array<uint8_t, 12> stream =
        vellf::CardDataStream(vellf::EncodeCardWord(26, 1, 1, 0));
    const Bytes data(stream.begin(), stream.end());

    EXPECT_EQ(Exchange(engine, kWrite, Concat({12, 4}, data)), Failed(status::kAccessDenied));
    const Bytes id = Exchange(engine, kReadChipId, {12, 0}).data;
    ASSERT_EQ(id.size(), 8u);
    Bytes wrongId = id;
    wrongId[7] ^= 1;
    EXPECT_EQ(Exchange(engine, kLogin, Concat({12}, wrongId)), Failed(status::kAccessDenied));
    EXPECT_EQ(Exchange(engine, kLogin, Concat({12}, id)), Ok({0, 0, 0, 0}));
    EXPECT_EQ(Exchange(engine, kWrite, Concat({12, 4}, data)), Ok());
    EXPECT_EQ(engine.FieldSnapshot()->cardWord, std::nullopt);  // not configured yet
    // The station's configuration with both lock flags.
    EXPECT_EQ(Exchange(engine, kWrite, {12, 1, 0x24, 0x36, 0xC0, 0x00}), Ok());
    EXPECT_EQ(engine.FieldSnapshot()->cardWord, vellf::EncodeCardWord(26, 1, 1, 0));
    EXPECT_EQ(Exchange(engine, kRead, {12, 4, 3}), Ok(data));
    EXPECT_EQ(Exchange(engine, kWrite, {12, 0, 1, 2, 3, 4}), Failed(status::kWriteProtected));

    EXPECT_EQ(Exchange(engine, kField, {0}), Ok());
    EXPECT_EQ(Exchange(engine, kField, {1}), Ok());
    EXPECT_EQ(Exchange(engine, kWrite, {12, 8, 1, 2, 3, 4}), Failed(status::kAccessDenied));
    EXPECT_EQ(Exchange(engine, kLogin, Concat({12}, id)), Ok({0x24, 0x36, 0xC0, 0x00}));
    EXPECT_EQ(Exchange(engine, kWrite, Concat({12, 4}, data)), Failed(status::kWriteProtected));
    EXPECT_EQ(Exchange(engine, kWrite, {12, 1, 0, 0, 0, 0}), Failed(status::kWriteProtected));
}

TEST(TransponderChips, BlankChipsSendNoCardAndCardChipsSendTheirWord) {
    const uint64_t word = 0x2006020002;
    for (int chipType : {3, 9, 11, 12, 13, 17, 21}) {
        SCOPED_TRACE(chipType);
        ReaderEngine engine;
        engine.PlaceTransponder(MakeBlankChip(chipType));
        EXPECT_EQ(engine.FieldSnapshot()->cardWord, std::nullopt);
        EXPECT_EQ(Exchange(engine, kRaw, {4, 6}), Failed(status::kNoCardData));
        engine.PlaceTransponder(MakeCardChip(chipType, word));
        EXPECT_EQ(engine.FieldSnapshot()->cardWord, word);
        EXPECT_EQ(Exchange(engine, kRaw, {4, 6}), Ok({0x02, 0x00, 0x60, 0x20, 0x00, 0x2F}));
        // T55xx card chips read where the station's search looks after writing.
        if (IsT55xxFamily(chipType)) {
            engine.SetReceiveMode(2);
            EXPECT_EQ(Exchange(engine, kRead, {static_cast<uint8_t>(chipType), 0, 1}).status,
                      status::kOk);
        }
    }
    EXPECT_EQ(MakeBlankChip(5), nullptr);
    EXPECT_EQ(MakeCardChip(0, word), nullptr);
}

TEST(TransponderChips, TheFieldChangesSafelyWhileRequestsArrive) {
    ReaderEngine engine;
    engine.SetReceiveMode(2);
    std::atomic<bool> done{false};
    std::thread placer([&] {
        for (int i = 0; i < 300; ++i) {
            engine.PlaceTransponder(MakeCardChip(i % 2 == 0 ? 9 : 12, 0x2006020002));
            engine.RemoveTransponder();
        }
        done = true;
    });
    while (!done) {
        const uint8_t status = Exchange(engine, kRaw, {4, 6}).status;
        EXPECT_TRUE(status == status::kOk || status == status::kNoCardData);
        Exchange(engine, kWrite, {9, 1, 1, 2, 3, 4});
        if (const auto snapshot = engine.FieldSnapshot()) {
            EXPECT_TRUE(snapshot->id.has_value());
        }
    }
    placer.join();
}

}  // namespace
}  // namespace vsim
