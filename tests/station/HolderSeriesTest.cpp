// Series over people and single writes for a holder, against the virtual reader in-process and
// a real SQLite register: each card linked to its holder in the list's order, a card that did
// not verify keeping its holder, a holder served elsewhere passed over, a series continued
// where it stopped, and a holder who has a card already.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "FreshChip.h"
#include "VirtualReader.h"
#include "station/HolderSeries.h"
#include "station/WriteRun.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "vellf.h"

using namespace station;

namespace {

constexpr int kAta5577 = 9;

// Records the holders shown and the cards written.
class HolderView : public CRunView {
  public:
    void ShowStatus(const Status& status) override { last = status; }
    void ShowLamps(LampState) override {}
    void SignalSuccess() override {}
    void SignalFailure() override {}
    void ShowFields() override {}
    void StoreNextNumber(const QString&) override {}
    bool WaitUntilNumberStored() override { return true; }
    void CardWritten(const CardRecord& card) override { written.push_back(card); }
    void ReportLogFailure() override {}
    QString FailedCardEntry(const Status&, const CardRecord&) override { return "failed"; }
    QString NotLoggedEntry(const CardRecord&, const QDateTime&) override { return "not logged"; }
    void ShowHolder(const QString& name) override { shown.push_back(name); }

    Status last;
    std::vector<CardRecord> written;
    QStringList shown;
};

}  // namespace

class HolderSeries : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) s_app = new QCoreApplication(s_argc, s_argv);
    }
    static void TearDownTestSuite() {
        delete s_app;
        s_app = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
        ASSERT_TRUE(m_reader.Start());
        m_handle = LfOpenPort(m_reader.Path().c_str(), 19200, 0, 300);
        ASSERT_GT(m_handle, 0);
        RegisterSettings settings;
        settings.file = m_dir.filePath("register.sqlite");
        m_register = std::make_unique<CCardRegister>(settings, QStringLiteral("9.9"));
        // Anna and Carl in sales, Bert in the workshop, in this order.
        for (const auto& [number, name, department] :
             {std::tuple{"P1", "Anna", "Sales"}, {"P2", "Bert", "Workshop"},
              {"P3", "Carl", "Sales"}}) {
            Holder holder;
            holder.personnelNumber = number;
            holder.name = name;
            holder.department = department;
            ASSERT_TRUE(m_register->SaveHolder(holder)) << m_register->LastError().toStdString();
            m_ids.push_back(holder.id);
        }
    }
    void TearDown() override { LfClosePort(m_handle); }

    // A station on the reader with a clock that moves a quarter second per tick, starting its
    // numbers at 100 and verifying every card.
    struct Station {
        HolderView view;
        RunCard card;
        std::uint32_t now = 1000;
        CWriteRun run{view, card, [this] { return now += 250; }};
    };
    void Prepare(Station& station) {
        station.card.target = CardTarget{m_handle, 0, kAta5577};
        station.card.customer = QStringLiteral("100");
        station.run.options.autoIncrement = true;
        station.run.options.verify = true;
        station.run.SetRegister(m_register.get());
    }
    TickOutcome Feed(Station& station) {
        m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
        return station.run.SeriesTick();
    }
    // A chip that takes the write but keeps its old data: the card does not verify.
    TickOutcome FeedWeak(Station& station) {
        m_reader.Engine().PlaceTransponder(vsim::MakeCardChip(kAta5577, 0x2006020002));
        m_reader.Engine().SetTransponderWeak(true);
        return station.run.SeriesTick();
    }
    // Every card of the register: holder and state, by number.
    std::vector<RegisterEntry> Rows() {
        auto rows = m_register->List(RegisterFilter{});
        EXPECT_TRUE(rows.has_value()) << m_register->LastError().toStdString();
        std::vector<RegisterEntry> sorted = rows.value_or(std::vector<RegisterEntry>{});
        std::sort(sorted.begin(), sorted.end(), [](const RegisterEntry& a, const RegisterEntry& b) {
            return a.fields.number < b.fields.number;
        });
        return sorted;
    }

    QTemporaryDir m_dir;
    vsim::VirtualReader m_reader;
    int m_handle = 0;
    std::unique_ptr<CCardRegister> m_register;
    std::vector<std::int64_t> m_ids;  // Anna, Bert, Carl

  private:
    static inline int s_argc = 1;
    static inline char s_name[] = "station_tests";
    static inline char* s_argv[] = {s_name, nullptr};
    static inline QCoreApplication* s_app = nullptr;
};

TEST_F(HolderSeries, EachHolderGetsOneCardInOrderAndAnUnverifiedCardKeepsTheHolder) {
    CHolderQueue queue(*m_register);
    ASSERT_TRUE(queue.Load()) << queue.LastError().toStdString();
    Station station;
    Prepare(station);
    station.run.SetHolderQueue(&queue);
    station.run.StartSeries();
    EXPECT_EQ(Feed(station), TickOutcome::Written);
    // Bert's first chip does not verify: the next chip is Bert's again.
    EXPECT_EQ(FeedWeak(station), TickOutcome::Failed);
    m_reader.Engine().SetTransponderWeak(false);
    EXPECT_EQ(Feed(station), TickOutcome::Written);
    EXPECT_EQ(Feed(station), TickOutcome::Written);
    EXPECT_EQ(station.run.Ended(), SeriesEnd::HoldersServed);
    EXPECT_EQ(station.view.shown, (QStringList{"Anna", "Bert", "Carl", ""}));

    std::vector<std::int64_t> holders;
    for (const CardRecord& card : station.view.written) holders.push_back(card.holder);
    EXPECT_EQ(holders, m_ids);
    // 101 went out to Bert's failed chip: it stays held, replaced by his card 102.
    const std::vector<RegisterEntry> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<std::pair<std::int64_t, RegisterEntry::State>> expected = {
        {m_ids[0], RegisterEntry::State::Written},
        {m_ids[1], RegisterEntry::State::Replaced},
        {m_ids[1], RegisterEntry::State::Written},
        {m_ids[2], RegisterEntry::State::Written}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].fields.number, 100 + static_cast<std::int64_t>(i));
        EXPECT_EQ(rows[i].holder, expected[i].first);
        EXPECT_EQ(rows[i].state, expected[i].second);
    }

    // Everyone has a card: a new series has nobody to serve and writes nothing.
    CHolderQueue again(*m_register);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Current(), nullptr);
    Station next;
    Prepare(next);
    next.run.SetHolderQueue(&again);
    next.run.StartSeries();
    EXPECT_EQ(next.run.Ended(), SeriesEnd::HoldersServed);
    EXPECT_EQ(Feed(next), TickOutcome::Stopped);
    EXPECT_TRUE(next.view.written.empty());
    EXPECT_EQ(Rows().size(), 4u);
}

TEST_F(HolderSeries, StoppedSeriesContinuesWithTheFirstUnservedHolderAndPassesOverOneServedElsewhere) {
    // Sales only, stopped after Anna's card.
    {
        CHolderQueue queue(*m_register, QStringLiteral("Sales"));
        ASSERT_TRUE(queue.Load());
        Station station;
        Prepare(station);
        station.run.options.stopAtCount = true;
        station.run.options.stopCount = 1;
        station.run.SetHolderQueue(&queue);
        station.run.StartSeries();
        EXPECT_EQ(Feed(station), TickOutcome::Written);
        EXPECT_EQ(station.run.Ended(), SeriesEnd::Count);
        EXPECT_EQ(station.view.written.at(0).holder, m_ids[0]);
    }
    // Continued over everybody: Bert is first; another station serves him meanwhile.
    CHolderQueue queue(*m_register);
    ASSERT_TRUE(queue.Load());
    ASSERT_NE(queue.Current(), nullptr);
    EXPECT_EQ(queue.Current()->id, m_ids[1]);
    EXPECT_EQ(queue.Remaining(), 2);
    Station other;
    Prepare(other);
    other.card.holder = m_ids[1];
    other.run.options.nextFree = true;
    m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
    ASSERT_EQ(other.run.WriteOnce(), WriteOutcome::Written);

    Station station;
    Prepare(station);
    station.run.SetHolderQueue(&queue);
    station.run.StartSeries();
    EXPECT_EQ(Feed(station), TickOutcome::Written);
    EXPECT_EQ(station.run.Ended(), SeriesEnd::HoldersServed);
    ASSERT_EQ(station.view.written.size(), 1u);
    EXPECT_EQ(station.view.written[0].holder, m_ids[2]);
    EXPECT_EQ(queue.Skipped(), 1);
    std::vector<std::int64_t> holders;
    for (const RegisterEntry& row : Rows()) holders.push_back(row.holder);
    EXPECT_EQ(holders, m_ids);
}

TEST_F(HolderSeries, SingleWriteForAHolderWithACardNeedsASecondCardOrAReplacement) {
    Station station;
    Prepare(station);
    station.run.options.nextFree = true;
    station.card.holder = m_ids[0];
    m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
    ASSERT_EQ(station.run.WriteOnce(), WriteOutcome::Written);
    const std::int64_t first = Rows().at(0).id;

    // Neither asked for: the register refuses before the chip is touched.
    m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
    const std::uint64_t writes = m_reader.Engine().FieldWriteCount();
    EXPECT_EQ(station.run.WriteOnce(), WriteOutcome::Failed);
    EXPECT_EQ(station.view.last.message, StatusMessage::HolderHasCard);
    EXPECT_TRUE(station.view.last.detail.isEmpty());
    EXPECT_EQ(m_reader.Engine().FieldWriteCount(), writes);

    station.card.secondCard = true;
    m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
    ASSERT_EQ(station.run.WriteOnce(), WriteOutcome::Written);
    station.card.secondCard = false;
    station.card.replaces = first;
    station.card.replaceReason = QStringLiteral("broken");
    m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
    ASSERT_EQ(station.run.WriteOnce(), WriteOutcome::Written);

    const std::vector<RegisterEntry> rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].state, RegisterEntry::State::Replaced);
    EXPECT_EQ(rows[0].replacedBy, rows[2].id);
    EXPECT_EQ(rows[1].state, RegisterEntry::State::Written);
    EXPECT_EQ(rows[2].state, RegisterEntry::State::Written);
    for (const RegisterEntry& row : rows) EXPECT_EQ(row.holder, m_ids[0]);
}
