#include <gtest/gtest.h>

#include "CardFeeder.h"
#include "FeederSupport.h"
#include "TransponderFactory.h"

namespace vsim {
namespace {

using namespace std::chrono_literals;
using testing::SendWrites;
using testing::StationWrite;
using testing::WaitFor;

const uint64_t kWord = vellf::EncodeCardWord(vellf::kCardFormat26, 12, 3456, 0);

std::optional<ChipId> FieldId(const ReaderEngine& engine) {
    const std::optional<TransponderSnapshot> field = engine.FieldSnapshot();
    return field ? field->id : std::nullopt;
}

// Writes a card onto the chip on the field, as a station does.
void WriteCard(ReaderEngine& engine, int chipType) {
    const testing::CardWrite write = StationWrite(chipType, kWord);
    SendWrites(engine, chipType, write.data);
    SendWrites(engine, chipType, {write.configuration});
}

TEST(CardFeeder, TakesEachChipAwayOnlyOnceItsCardIsComplete) {
    for (int chipType : {chip::kQ5, chip::kAta5577, chip::kM2, chip::kSic7888, chip::kTl008}) {
        SCOPED_TRACE(chipType);
        ReaderEngine engine;
        CardFeeder feeder(engine);
        ASSERT_TRUE(feeder.Start({chipType, 1, 0ms}));
        const std::optional<TransponderSnapshot> fresh = engine.FieldSnapshot();
        ASSERT_TRUE(fresh.has_value());
        EXPECT_EQ(fresh->chipType, chipType);
        EXPECT_FALSE(fresh->cardWord.has_value());

        // The data alone do not make a card: the chip stays for the configuration.
        const testing::CardWrite write = StationWrite(chipType, kWord);
        SendWrites(engine, chipType, write.data);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(FieldId(engine), fresh->id);
        EXPECT_EQ(feeder.GetProgress().state, CardFeeder::State::Waiting);

        SendWrites(engine, chipType, {write.configuration});
        ASSERT_TRUE(feeder.WaitUntilEnded(5s));
        const CardFeeder::Progress progress = feeder.GetProgress();
        EXPECT_EQ(progress.state, CardFeeder::State::Done);
        EXPECT_EQ(progress.fed, 1u);
        EXPECT_EQ(progress.written, 1u);
        EXPECT_FALSE(engine.FieldSnapshot().has_value());
    }
}

TEST(CardFeeder, LaysTheNextChipAfterThePauseUntilTheCountIsWritten) {
    constexpr auto kPause = 300ms;
    ReaderEngine engine;
    CardFeeder feeder(engine);
    ASSERT_TRUE(feeder.Start({chip::kAta5577, 3, kPause}));
    std::vector<ChipId> seen;
    for (unsigned card = 1; card <= 3; ++card) {
        ASSERT_TRUE(WaitFor([&] {
            const CardFeeder::Progress progress = feeder.GetProgress();
            return progress.state == CardFeeder::State::Waiting && progress.fed == card;
        }));
        const std::optional<ChipId> id = FieldId(engine);
        ASSERT_TRUE(id.has_value());
        for (const ChipId& earlier : seen) EXPECT_NE(*id, earlier);
        seen.push_back(*id);

        const auto written = std::chrono::steady_clock::now();
        WriteCard(engine, chip::kAta5577);
        if (card == 3) break;
        ASSERT_TRUE(
            WaitFor([&] { return feeder.GetProgress().state == CardFeeder::State::Pausing; }));
        EXPECT_FALSE(engine.FieldSnapshot().has_value());
        ASSERT_TRUE(WaitFor([&] { return FieldId(engine).has_value(); }));
        EXPECT_GE(std::chrono::steady_clock::now() - written, kPause);
    }
    ASSERT_TRUE(feeder.WaitUntilEnded(5s));
    const CardFeeder::Progress progress = feeder.GetProgress();
    EXPECT_EQ(progress.state, CardFeeder::State::Done);
    EXPECT_EQ(progress.fed, 3u);
    EXPECT_EQ(progress.written, 3u);
    EXPECT_FALSE(engine.FieldSnapshot().has_value());
}

TEST(CardFeeder, StopsCleanlyInEveryPhase) {
    ReaderEngine engine;
    {
        // Waiting: the chip stays where it is.
        CardFeeder feeder(engine);
        ASSERT_TRUE(feeder.Start({chip::kAta5577, 5, 0ms}));
        const std::optional<ChipId> id = FieldId(engine);
        feeder.Stop();
        EXPECT_EQ(feeder.GetProgress().state, CardFeeder::State::Stopped);
        EXPECT_EQ(FieldId(engine), id);
        feeder.Stop();  // a second stop changes nothing
        EXPECT_EQ(feeder.GetProgress().state, CardFeeder::State::Stopped);
    }
    {
        // Pausing: stopping does not wait for the pause, and no chip follows.
        CardFeeder feeder(engine);
        ASSERT_TRUE(feeder.Start({chip::kAta5577, 5, 60s}));
        WriteCard(engine, chip::kAta5577);
        ASSERT_TRUE(
            WaitFor([&] { return feeder.GetProgress().state == CardFeeder::State::Pausing; }));
        const auto before = std::chrono::steady_clock::now();
        feeder.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
        EXPECT_EQ(feeder.GetProgress().state, CardFeeder::State::Stopped);
        EXPECT_EQ(feeder.GetProgress().written, 1u);
        EXPECT_FALSE(engine.FieldSnapshot().has_value());
    }
    {
        // A running feeder that goes out of scope ends its thread.
        CardFeeder feeder(engine);
        ASSERT_TRUE(feeder.Start({chip::kAta5577, 5, 60s}));
    }
    EXPECT_TRUE(engine.FieldSnapshot().has_value());
}

TEST(CardFeeder, EndsWhenSomeoneElseMovesTheChip) {
    ReaderEngine engine;
    CardFeeder feeder(engine);
    ASSERT_TRUE(feeder.Start({chip::kAta5577, 5, 0ms}));
    engine.RemoveTransponder();
    ASSERT_TRUE(feeder.WaitUntilEnded(5s));
    EXPECT_EQ(feeder.GetProgress().state, CardFeeder::State::Interrupted);

    ASSERT_TRUE(feeder.Start({chip::kAta5577, 5, 0ms}));
    engine.PlaceTransponder(MakeBlankChip(chip::kAta5577));
    ASSERT_TRUE(feeder.WaitUntilEnded(5s));
    EXPECT_EQ(feeder.GetProgress().state, CardFeeder::State::Interrupted);
    EXPECT_EQ(feeder.GetProgress().written, 0u);
}

TEST(CardFeeder, RestartsAndRefusesPlansItCannotFeed) {
    ReaderEngine engine;
    CardFeeder feeder(engine);
    ASSERT_TRUE(feeder.Start({chip::kAta5577, 5, 0ms}));
    WriteCard(engine, chip::kAta5577);
    ASSERT_TRUE(WaitFor([&] { return feeder.GetProgress().fed == 2; }));

    ASSERT_TRUE(feeder.Start({chip::kQ5, 2, 0ms}));
    CardFeeder::Progress progress = feeder.GetProgress();
    EXPECT_EQ(progress.state, CardFeeder::State::Waiting);
    EXPECT_EQ(progress.fed, 1u);
    EXPECT_EQ(progress.written, 0u);
    EXPECT_EQ(engine.FieldSnapshot()->chipType, chip::kQ5);

    const std::optional<ChipId> id = FieldId(engine);
    for (const CardFeeder::Plan& plan :
         {CardFeeder::Plan{99, 1, 0ms}, CardFeeder::Plan{chip::kNone, 1, 0ms},
          CardFeeder::Plan{chip::kAta5577, 0, 0ms}}) {
        EXPECT_FALSE(feeder.Start(plan)) << plan.chipType << " " << plan.count;
        EXPECT_EQ(feeder.GetProgress().state, CardFeeder::State::Waiting);
        EXPECT_EQ(FieldId(engine), id);
    }
}

}  // namespace
}  // namespace vsim
