// The write series without a window: a table of situations on the virtual reader's field
// (a chip held, taken away for one and for three seconds, a different chip, the count, the
// end value and the format's largest number), with a clock the test moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "FreshChip.h"
#include "VirtualReader.h"
#include "station/WriteRun.h"
#include "vellf.h"

using namespace station;

namespace {

// Records what the series shows.
class RecordingView : public CRunView {
  public:
    void ShowStatus(const Status& status) override { statuses.push_back(status.message); }
    void ShowLamps(LampState state) override { lamps.push_back(state); }
    void SignalSuccess() override { ++successes; }
    void SignalFailure() override { ++failures; }
    void ShowFields() override {}
    void StoreNextNumber(const QString& number) override { stored = number; }
    bool WaitUntilNumberStored() override { return true; }
    void CardWritten(const CardRecord& card) override { written.push_back(card.fields.number); }
    void ReportLogFailure() override { ++logFailures; }
    QString FailedCardEntry(const Status&, const CardRecord&) override { return "failed"; }
    QString NotLoggedEntry(const CardRecord&, const QDateTime&) override { return "not logged"; }

    std::vector<StatusMessage> statuses;
    std::vector<LampState> lamps;
    std::vector<std::int64_t> written;
    QString stored;
    int successes = 0;
    int failures = 0;
    int logFailures = 0;
};

// One step of a situation: what lies on the field for the tick, and how long after the
// previous tick it comes.
enum class Field { Keep, Empty, Fresh, First, Weak, Password };
struct Step {
    Field field;
    std::uint32_t afterMs;
};

struct Situation {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::int64_t> written;  // the numbers written, in order
    SeriesEnd end = SeriesEnd::Running;
    WriteOptions options;
    std::int64_t from = 100;
    int format = 0;
    int failures = 0;                             // failed writes, each with the failure signal
    StatusMessage failure = StatusMessage::None;  // what the failed write showed
};

WriteOptions Count(int count) {
    WriteOptions options;
    options.autoIncrement = true;
    options.stopAtCount = true;
    options.stopCount = count;
    return options;
}

WriteOptions EndValue(const char* end) {
    WriteOptions options;
    options.autoIncrement = true;
    options.stopAtEnd = true;
    options.endValue = QString::fromLatin1(end);
    return options;
}

WriteOptions Endless() {
    WriteOptions options;
    options.autoIncrement = true;
    return options;
}

WriteOptions Verified() {
    WriteOptions options = Endless();
    options.verify = true;
    return options;
}

class WriteSeries : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_reader.Start());
        m_handle = LfOpenPort(m_reader.Path().c_str(), 19200, 0, 300);
        ASSERT_GT(m_handle, 0);
    }
    void TearDown() override { LfClosePort(m_handle); }

    void Lay(Field field) {
        switch (field) {
            case Field::Keep:
                break;
            case Field::Empty:
                m_reader.Engine().RemoveTransponder();
                break;
            case Field::Fresh:
                m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(9));
                break;
            case Field::Weak:
                // A card written before, which acknowledges the write and keeps its old data.
                m_reader.Engine().PlaceTransponder(vsim::MakeCardChip(9, 0x2006020002));
                m_reader.Engine().SetTransponderWeak(true);
                break;
            case Field::Password:
                m_reader.Engine().PlaceTransponder(vsim::MakePasswordChip(9, 0x2006020002));
                break;
            case Field::First:
                // The chip of the first step again: a series knows a chip by its identification.
                m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(9));
                m_reader.Engine().SetTransponderId(m_firstId);
                break;
        }
    }

    vsim::VirtualReader m_reader;
    int m_handle = 0;
    vsim::ChipId m_firstId{};
};

}  // namespace

TEST_F(WriteSeries, Situations) {
    const Step kHold{Field::Keep, 250};
    const Situation situations[] = {
        {"a chip held for many ticks is written once",
         {{Field::Fresh, 0}, kHold, kHold, kHold, kHold},
         {100},
         SeriesEnd::Running,
         Endless()},
        {"a different chip is written at once",
         {{Field::Fresh, 0}, {Field::Fresh, 250}, {Field::Fresh, 250}},
         {100, 101, 102},
         SeriesEnd::Running,
         Endless()},
        {"the same chip away for one second is not written again",
         {{Field::Fresh, 0},
          {Field::Empty, 250},
          {Field::Keep, 500},
          {Field::Keep, 500},
          {Field::First, 250},
          kHold},
         {100},
         SeriesEnd::Running,
         Endless()},
        {"the same chip away for three seconds is written again with the next number",
         {{Field::Fresh, 0},
          {Field::Empty, 250},
          {Field::Keep, 1000},
          {Field::Keep, 1000},
          {Field::Keep, 1000},
          {Field::First, 250}},
         {100, 101},
         SeriesEnd::Running,
         Endless()},
        {"the count ends the series with its last card",
         {{Field::Fresh, 0}, {Field::Fresh, 250}, {Field::Fresh, 250}},
         {100, 101, 102},
         SeriesEnd::Count,
         Count(3)},
        {"the end value ends the series after its card",
         {{Field::Fresh, 0}, {Field::Fresh, 250}},
         {104, 105},
         SeriesEnd::EndValue,
         EndValue("105"),
         104},
        {"the format's largest number ends the series before a number the card cannot hold",
         {{Field::Fresh, 0}, {Field::Fresh, 250}},
         {65534, 65535},
         SeriesEnd::Limit,
         Count(5),
         65534},
        {"a chip that keeps its old data fails its verification and the next gets its number",
         {{Field::Weak, 0}, kHold, {Field::Fresh, 250}},
         {100},
         SeriesEnd::Running,
         Verified(),
         100,
         0,
         1,
         StatusMessage::VerifyMismatch},
        {"a chip that answers but takes no write is not taken for an empty field",
         {{Field::Password, 0}, {Field::Fresh, 250}},
         {100},
         SeriesEnd::Running,
         Verified(),
         100,
         0,
         1,
         StatusMessage::NotWritable},
        {"a huge format counts past 32 bits",
         {{Field::Fresh, 0}, {Field::Fresh, 250}},
         {4294967295LL, 4294967296LL},
         SeriesEnd::Running,
         Endless(),
         4294967295LL,
         7},
    };
    for (const Situation& situation : situations) {
        SCOPED_TRACE(situation.name);
        m_reader.Engine().RemoveTransponder();
        std::uint32_t now = 1000;
        RecordingView view;
        RunCard card;
        card.target = CardTarget{m_handle, situation.format, 9};
        card.customer = QString::number(static_cast<long long>(situation.from));
        CWriteRun run(view, card, [&now] { return now; });
        run.options = situation.options;
        ASSERT_EQ(run.CheckSeriesStart(), SeriesRefusal::None);
        run.StartSeries();
        bool first = true;
        for (const Step& step : situation.steps) {
            now += step.afterMs;
            Lay(step.field);
            run.SeriesTick();
            if (first) {
                m_firstId = *m_reader.Engine().FieldSnapshot()->id;
                first = false;
            }
            if (run.Ended() != SeriesEnd::Running) break;
        }
        EXPECT_EQ(view.written, situation.written);
        EXPECT_EQ(run.count, static_cast<int>(situation.written.size()));
        EXPECT_EQ(run.Ended(), situation.end);
        EXPECT_EQ(view.failures, situation.failures);
        if (situation.failures > 0) {
            EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(), situation.failure),
                      view.statuses.end());
        }
        // A card that failed its verification is listed for the operator.
        EXPECT_EQ(card.errorLog.contains("failed"),
                  situation.failure == StatusMessage::VerifyMismatch);
        if (!situation.written.empty()) {
            EXPECT_EQ(run.Number(), situation.written.back() + 1);
            // What a station ended now would start with.
            EXPECT_EQ(view.stored, card.customer);
        }
    }
}

TEST_F(WriteSeries, RefusesToStartBelowItsEndValueOrWithCountZero) {
    RecordingView view;
    RunCard card;
    card.customer = QStringLiteral("100");
    CWriteRun run(view, card);
    run.options = EndValue("99");
    EXPECT_EQ(run.CheckSeriesStart(), SeriesRefusal::EndBelowStart);
    run.options = EndValue("100");
    EXPECT_EQ(run.CheckSeriesStart(), SeriesRefusal::None);
    run.options = Count(0);
    EXPECT_EQ(run.CheckSeriesStart(), SeriesRefusal::CountZero);
}
