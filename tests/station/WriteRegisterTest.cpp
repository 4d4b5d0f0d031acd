// The write runs through the card register, against the virtual reader in-process and a real
// SQLite register in a temporary folder: what the register holds after a series, the
// duplicate guard of a series and of a single write, failed cards, a register that cannot
// record, and the next free number; and a real PostgreSQL server that stops during a series.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <vector>

#include "FreshChip.h"
#include "PgServer.h"
#include "VirtualReader.h"
#include "cards/CardFormat.h"
#include "station/WriteRun.h"
#include "station/register/CardRegister.h"
#include "vellf.h"

using namespace station;

namespace {

constexpr int kAta5577 = 9;

// Records what the run shows and answers the re-issue question as told.
class RegisterView : public CRunView {
  public:
    void ShowStatus(const Status& status) override { statuses.push_back(status); }
    void ShowLamps(LampState) override {}
    void SignalSuccess() override {}
    void SignalFailure() override { ++failures; }
    void ShowFields() override {}
    void StoreNextNumber(const QString& number) override { stored = number; }
    bool WaitUntilNumberStored() override { return true; }
    void CardWritten(const CardRecord& card) override {
        written.push_back(card);
        if (onCardWritten) onCardWritten();
    }
    void ReportLogFailure() override {}
    QString FailedCardEntry(const Status&, const CardRecord&) override { return "failed"; }
    QString NotLoggedEntry(const CardRecord&, const QDateTime&) override { return "not logged"; }
    bool ConfirmReissue(const CardRecord&, const RegisterEntry& entry, QString&) override {
        earlier.push_back(entry);
        return reissue;
    }

    // The status shown last.
    Status LastStatus() const { return statuses.empty() ? Status{} : statuses.back(); }

    std::vector<Status> statuses;
    std::vector<CardRecord> written;
    std::vector<RegisterEntry> earlier;
    std::function<void()> onCardWritten;
    QString stored;
    bool reissue = false;
    int failures = 0;
};

// A card as the register and the run both describe it.
struct Card {
    std::int64_t number;
    QString uid;
    bool operator==(const Card&) const = default;
};

std::vector<Card> CardsOf(const std::vector<CardRecord>& records) {
    std::vector<Card> cards;
    for (const CardRecord& record : records) cards.push_back({record.fields.number, record.uid});
    std::sort(cards.begin(), cards.end(), [](const Card& a, const Card& b) {
        return a.number < b.number || (a.number == b.number && a.uid < b.uid);
    });
    return cards;
}

std::vector<Card> CardsOf(const std::vector<RegisterEntry>& entries) {
    std::vector<CardRecord> records;
    for (const RegisterEntry& entry : entries) {
        CardRecord record;
        record.fields = entry.fields;
        record.uid = entry.uid;
        records.push_back(record);
    }
    return CardsOf(records);
}

WriteOptions Series(int count) {
    WriteOptions options;
    options.autoIncrement = true;
    options.stopAtCount = true;
    options.stopCount = count;
    options.verify = true;
    return options;
}

}  // namespace

class WriteRegister : public ::testing::Test {
  protected:
    // Qt SQL loads its drivers only with an application object.
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) s_app = new QCoreApplication(s_argc, s_argv);
    }
    static void TearDownTestSuite() {
        delete s_app;
        s_app = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Nothing here may reach the user's own register or settings.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
        ASSERT_TRUE(m_reader.Start());
        m_handle = LfOpenPort(m_reader.Path().c_str(), 19200, 0, 300);
        ASSERT_GT(m_handle, 0);
    }
    void TearDown() override { LfClosePort(m_handle); }

    RegisterSettings SqliteAt(const QString& file, bool nextFree = false) const {
        RegisterSettings settings;
        settings.kind = RegisterSettings::Kind::SQLite;
        settings.file = file;
        settings.nextFree = nextFree;
        return settings;
    }
    QString RegisterFile() const { return m_dir.filePath("register.sqlite"); }

    // A run on the reader with a clock that moves a quarter second per tick.
    struct Station {
        RegisterView view;
        RunCard card;
        std::uint32_t now = 1000;
        CWriteRun run{view, card, [this] { return now += 250; }};
    };
    void Prepare(Station& station, CCardRegister* cardRegister, std::int64_t from,
                 const WriteOptions& options, int format = 0) {
        station.card.target = CardTarget{m_handle, format, kAta5577};
        station.card.customer = QString::number(static_cast<long long>(from));
        station.run.options = options;
        station.run.SetRegister(cardRegister);
    }

    // Lays a fresh chip and runs one series tick; written tells whether the chip took a write.
    TickOutcome FeedFresh(Station& station, bool& written) {
        m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
        const std::uint64_t writes = m_reader.Engine().FieldWriteCount();
        const TickOutcome outcome = station.run.SeriesTick();
        written = m_reader.Engine().FieldWriteCount() != writes;
        return outcome;
    }
    // Feeds fresh chips until the series ends or after max chips; returns the chips fed.
    int FeedSeries(Station& station, int max) {
        station.run.StartSeries();
        int fed = 0;
        bool written = false;
        while (fed < max && station.run.Ended() == SeriesEnd::Running) {
            FeedFresh(station, written);
            ++fed;
        }
        return fed;
    }

    std::vector<RegisterEntry> Rows(const QString& file) {
        CCardRegister reader(SqliteAt(file), QStringLiteral("test"));
        const auto rows = reader.List(RegisterFilter{});
        EXPECT_TRUE(rows.has_value()) << reader.LastError().toStdString();
        return rows.value_or(std::vector<RegisterEntry>{});
    }

    QTemporaryDir m_dir;
    vsim::VirtualReader m_reader;
    int m_handle = 0;

  private:
    static inline int s_argc = 1;
    static inline char s_name[] = "station_tests";
    static inline char* s_argv[] = {s_name, nullptr};
    static inline QCoreApplication* s_app = nullptr;
};

TEST_F(WriteRegister, SeriesFillsTheRegisterAndASecondSeriesStopsAtTheFirstDuplicate) {
    CCardRegister cardRegister(SqliteAt(RegisterFile()), QStringLiteral("9.9"));
    Station first;
    WriteOptions options = Series(3);
    options.lock = true;
    // The 36-bit format has a facility code and an extra field, both kept in the register.
    Prepare(first, &cardRegister, 100, options, 5);
    first.card.facility = 12;
    first.card.fixed = 7;
    FeedSeries(first, 3);
    ASSERT_EQ(first.run.Ended(), SeriesEnd::Count);
    ASSERT_EQ(first.view.written.size(), 3u);

    const std::vector<RegisterEntry> rows = Rows(RegisterFile());
    EXPECT_EQ(CardsOf(rows), CardsOf(first.view.written));
    for (const RegisterEntry& row : rows) {
        EXPECT_EQ(row.state, RegisterEntry::State::Written);
        EXPECT_EQ(row.format, 5);
        EXPECT_EQ(row.chipType, kAta5577);
        EXPECT_EQ(row.fields.facility, 12);
        EXPECT_EQ(row.fields.fixed, 7);
        EXPECT_TRUE(row.locked);
        EXPECT_TRUE(row.verified);
        EXPECT_FALSE(row.reissue);
        EXPECT_FALSE(row.uid.isEmpty());
        EXPECT_EQ(row.programVersion, "9.9");
    }

    // The second series starts one below: its first card is new, its second was issued.
    Station second;
    Prepare(second, &cardRegister, 99, options, 5);
    second.card.facility = 12;
    second.card.fixed = 7;
    second.run.StartSeries();
    bool written = false;
    EXPECT_EQ(FeedFresh(second, written), TickOutcome::Written);
    EXPECT_EQ(FeedFresh(second, written), TickOutcome::Stopped);
    EXPECT_FALSE(written);
    EXPECT_EQ(second.run.Ended(), SeriesEnd::Duplicate);
    EXPECT_EQ(second.run.count, 1);
    const auto earlier = std::find_if(rows.begin(), rows.end(), [](const RegisterEntry& row) {
        return row.fields.number == 100;
    });
    ASSERT_NE(earlier, rows.end());
    const Status status = second.view.LastStatus();
    EXPECT_EQ(status.message, StatusMessage::Duplicate);
    EXPECT_EQ(status.detail, earlier->uid);
    EXPECT_EQ(status.when, earlier->time);
    // What a station ended now would start with: the refused number, not one past it.
    EXPECT_EQ(second.view.stored, "100");
    EXPECT_EQ(second.run.Number(), 100);
    EXPECT_EQ(Rows(RegisterFile()).size(), 4u);
}

TEST_F(WriteRegister, SingleWriteOfAnIssuedNumberIsReissuedOnlyWhenTheOperatorSaysSo) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "re-issued" : "refused");
        const QString file = m_dir.filePath(yes ? "yes.sqlite" : "no.sqlite");
        CCardRegister cardRegister(SqliteAt(file), QStringLiteral("9.9"));
        Station station;
        Prepare(station, &cardRegister, 4711, WriteOptions{});
        m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
        ASSERT_EQ(station.run.WriteOnce(), WriteOutcome::Written);
        const QString firstUid = station.card.uid;

        // A replacement card with the same number.
        station.view.reissue = yes;
        m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
        const std::uint64_t writes = m_reader.Engine().FieldWriteCount();
        EXPECT_EQ(station.run.WriteOnce(), yes ? WriteOutcome::Written : WriteOutcome::Failed);
        ASSERT_EQ(station.view.earlier.size(), 1u);
        EXPECT_EQ(station.view.earlier[0].uid, firstUid);
        EXPECT_EQ(m_reader.Engine().FieldWriteCount() != writes, yes);

        const std::vector<RegisterEntry> rows = Rows(file);
        ASSERT_EQ(rows.size(), yes ? 2u : 1u);
        EXPECT_EQ(CardsOf(rows), CardsOf(station.view.written));
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                                [](const RegisterEntry& row) { return row.reissue; }),
                  yes ? 1 : 0);
        if (!yes) {
            EXPECT_EQ(station.view.LastStatus().message, StatusMessage::Duplicate);
            EXPECT_EQ(station.view.LastStatus().detail, firstUid);
        }
    }
}

TEST_F(WriteRegister, FailedCardKeepsItsNumberOnlyWhenTheWriteReachedTheChip) {
    CCardRegister cardRegister(SqliteAt(RegisterFile()), QStringLiteral("9.9"));
    Station station;
    Prepare(station, &cardRegister, 100, Series(5));
    station.run.StartSeries();
    // A card written before that acknowledges the write and keeps its old data: the write
    // went out, so the chip may carry 100 and the register holds it as unverified.
    m_reader.Engine().PlaceTransponder(vsim::MakeCardChip(kAta5577, 0x2006020002));
    m_reader.Engine().SetTransponderWeak(true);
    EXPECT_EQ(station.run.SeriesTick(), TickOutcome::Failed);
    std::vector<RegisterEntry> rows = Rows(RegisterFile());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fields.number, 100);
    EXPECT_EQ(rows[0].state, RegisterEntry::State::Unverified);
    EXPECT_FALSE(rows[0].verified);
    EXPECT_EQ(station.run.Number(), 101);
    // A chip that answers but takes no write: nothing reached it, its number stays free.
    m_reader.Engine().PlaceTransponder(vsim::MakePasswordChip(kAta5577, 0x2006020002));
    EXPECT_EQ(station.run.SeriesTick(), TickOutcome::Failed);
    EXPECT_EQ(Rows(RegisterFile()).size(), 1u);
    EXPECT_EQ(station.run.Number(), 101);

    bool written = false;
    EXPECT_EQ(FeedFresh(station, written), TickOutcome::Written);
    ASSERT_EQ(station.view.written.size(), 1u);
    EXPECT_EQ(station.view.written[0].fields.number, 101);
    rows = Rows(RegisterFile());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].fields.number, 101);
    EXPECT_EQ(rows[0].state, RegisterEntry::State::Written);
}

TEST_F(WriteRegister, AWriteRefusedAtItsLastBlockKeepsItsNumberHeld) {
    // A SIC7888 whose configuration block is locked: the data block takes the card, the
    // configuration block, written last, answers "write protected". The chip now carries
    // 100, so the number stays held as unverified and is never handed out again.
    CCardRegister cardRegister(SqliteAt(RegisterFile()), QStringLiteral("9.9"));
    Station station;
    WriteOptions single;
    single.verify = true;
    single.autoIncrement = true;
    Prepare(station, &cardRegister, 100, single);
    station.card.target.chipType = 12;
    m_reader.Engine().PlaceTransponder(vsim::MakeConfiguredChip(12, 0x00003624));
    EXPECT_EQ(station.run.WriteOnce(), WriteOutcome::Failed);
    // The data block went out: the chip sends card 100 (26 Bit, facility 0) now.
    EXPECT_EQ(m_reader.Engine().FieldSnapshot()->cardWord, vellf::EncodeCardWord(26, 0, 100, 0));
    const std::vector<RegisterEntry> rows = Rows(RegisterFile());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fields.number, 100);
    EXPECT_EQ(rows[0].state, RegisterEntry::State::Unverified);
    EXPECT_EQ(station.run.Number(), 101);
    EXPECT_TRUE(station.view.written.empty());
}

TEST_F(WriteRegister, AReplacementIsConfirmedWithTheCardItReplacesInOneStep) {
    // The card a single write replaces: still valid, or revoked by another station meanwhile.
    // Either way the new card is confirmed, never reported "not confirmed"; a valid earlier
    // card becomes replaced in the same transaction, a revoked one stays revoked.
    for (const bool revokedMeanwhile : {false, true}) {
        SCOPED_TRACE(revokedMeanwhile);
        const QString file =
            m_dir.filePath(QStringLiteral("replace-%1.sqlite").arg(revokedMeanwhile));
        CCardRegister cardRegister(SqliteAt(file), QStringLiteral("9.9"));
        CardRecord lost;
        lost.format = 0;
        lost.chipType = kAta5577;
        lost.fields.number = 50;
        std::int64_t lostRow = 0;
        std::optional<RegisterEntry> earlier;
        ASSERT_EQ(cardRegister.Reserve(lost, false, lostRow, earlier), ReserveResult::Reserved);
        ASSERT_TRUE(cardRegister.Confirm(lostRow, true, QString()));
        if (revokedMeanwhile) {
            ASSERT_TRUE(cardRegister.Revoke(lostRow, RevokeReason::Lost));
        }

        Station station;
        WriteOptions single;
        single.verify = true;
        Prepare(station, &cardRegister, 100, single);
        station.card.replaces = lostRow;
        station.card.replaceReason = QStringLiteral("lost");
        m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
        EXPECT_EQ(station.run.WriteOnce(), WriteOutcome::Written)
            << station.view.LastStatus().detail.toStdString();
        const std::vector<RegisterEntry> rows = Rows(file);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].fields.number, 100);
        EXPECT_EQ(rows[0].state, RegisterEntry::State::Written);
        EXPECT_EQ(rows[1].state, revokedMeanwhile ? RegisterEntry::State::Revoked
                                                  : RegisterEntry::State::Replaced);
        EXPECT_EQ(rows[1].replacedBy, rows[0].id);
    }
}

TEST_F(WriteRegister, RegisterThatCannotRecordRefusesTheWriteAndTheChipStaysUnwritten) {
    // A register file below a plain file cannot be made, also not by root.
    QFile blocker(m_dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CCardRegister cardRegister(SqliteAt(m_dir.filePath("blocker/register.sqlite")),
                               QStringLiteral("9.9"));

    Station series;
    Prepare(series, &cardRegister, 100, Series(3));
    series.run.StartSeries();
    bool written = true;
    EXPECT_EQ(FeedFresh(series, written), TickOutcome::Stopped);
    EXPECT_FALSE(written);
    EXPECT_EQ(series.run.Ended(), SeriesEnd::RegisterFailed);
    EXPECT_EQ(series.run.count, 0);
    EXPECT_EQ(series.view.LastStatus().message, StatusMessage::RegisterFailed);
    EXPECT_FALSE(series.view.LastStatus().detail.isEmpty());
    EXPECT_EQ(series.view.failures, 1);
    // The number is neither used nor passed over.
    EXPECT_EQ(series.run.Number(), 100);
    EXPECT_TRUE(series.view.stored.isEmpty());

    Station single;
    Prepare(single, &cardRegister, 100, WriteOptions{});
    m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
    const std::uint64_t writes = m_reader.Engine().FieldWriteCount();
    EXPECT_EQ(single.run.WriteOnce(), WriteOutcome::Failed);
    EXPECT_EQ(m_reader.Engine().FieldWriteCount(), writes);
    EXPECT_EQ(single.view.LastStatus().message, StatusMessage::RegisterFailed);

    // Switched off, the register is not asked and the station writes as before.
    RegisterSettings off = cardRegister.Settings();
    off.enabled = false;
    CCardRegister switchedOff(off, QStringLiteral("9.9"));
    single.run.SetRegister(&switchedOff);
    EXPECT_EQ(single.run.WriteOnce(), WriteOutcome::Written);
}

TEST_F(WriteRegister, NextFreeSeriesFillsTheNumbersTheRegisterHandsOut) {
    CCardRegister cardRegister(SqliteAt(RegisterFile(), true), QStringLiteral("9.9"));
    // 100, 101 and 103 are issued already, by single writes.
    for (const std::int64_t number : {100, 101, 103}) {
        Station single;
        Prepare(single, &cardRegister, number, WriteOptions{});
        m_reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kAta5577));
        ASSERT_EQ(single.run.WriteOnce(), WriteOutcome::Written);
    }

    Station station;
    WriteOptions options = Series(0);
    options.stopAtCount = false;
    options.stopAtEnd = true;
    options.endValue = QStringLiteral("105");
    Prepare(station, &cardRegister, 100, options);
    station.run.StartSeries();
    // A card whose write went out but did not verify keeps its number (unverified); the
    // next chip gets the next free one.
    m_reader.Engine().PlaceTransponder(vsim::MakeCardChip(kAta5577, 0x2006020002));
    m_reader.Engine().SetTransponderWeak(true);
    EXPECT_EQ(station.run.SeriesTick(), TickOutcome::Failed);
    EXPECT_EQ(station.card.customer, "103");
    bool written = false;
    EXPECT_EQ(FeedFresh(station, written), TickOutcome::Written);
    // The field shows the next number after the one the register handed out, and a station
    // ended now would start there.
    EXPECT_EQ(station.card.customer, "105");
    EXPECT_EQ(station.view.stored, "105");
    EXPECT_EQ(FeedFresh(station, written), TickOutcome::Written);
    EXPECT_EQ(station.run.Ended(), SeriesEnd::EndValue);
    std::vector<std::int64_t> numbers;
    for (const CardRecord& card : station.view.written) numbers.push_back(card.fields.number);
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{104, 105}));
    EXPECT_EQ(CardsOf(Rows(RegisterFile())).size(), 6u);

    // Every number up to the end value is taken: the next series stops without writing.
    Station full;
    Prepare(full, &cardRegister, 100, options);
    full.run.StartSeries();
    EXPECT_EQ(FeedFresh(full, written), TickOutcome::Stopped);
    EXPECT_FALSE(written);
    EXPECT_EQ(full.run.Ended(), SeriesEnd::NoFreeNumber);
    EXPECT_EQ(full.view.LastStatus().message, StatusMessage::NoFreeNumber);
}

TEST_F(WriteRegister, PostgreSqlServerGoneDuringASeriesStopsItAndEveryWrittenChipIsHeld) {
    pgtest::PgServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString() << server.LogTail().toStdString();
    qputenv("PGPASSWORD", server.Password().toUtf8());
    RegisterSettings settings;
    settings.kind = RegisterSettings::Kind::PostgreSQL;
    settings.host = server.Host();
    settings.port = server.Port();
    settings.database = server.Database();
    settings.user = server.User();
    CCardRegister cardRegister(settings, QStringLiteral("9.9"));

    // Stopped between two cards: the next chip is not written.
    Station first;
    Prepare(first, &cardRegister, 100, Series(10));
    first.run.StartSeries();
    bool written = false;
    ASSERT_EQ(FeedFresh(first, written), TickOutcome::Written);
    ASSERT_EQ(FeedFresh(first, written), TickOutcome::Written);
    ASSERT_TRUE(server.Stop()) << server.Error().toStdString();
    EXPECT_EQ(FeedFresh(first, written), TickOutcome::Stopped);
    EXPECT_FALSE(written);
    EXPECT_EQ(first.run.Ended(), SeriesEnd::RegisterFailed);
    EXPECT_EQ(first.view.LastStatus().message, StatusMessage::RegisterFailed);
    EXPECT_FALSE(first.view.LastStatus().detail.isEmpty());
    EXPECT_EQ(first.run.Number(), 102);

    // Stopped between a chip's write and its confirmation: the card counts, the series ends
    // before the next one, and the register holds the card's number as reserved. The same
    // register object goes on once the server is back.
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    Station second;
    Prepare(second, &cardRegister, 102, Series(10));
    second.view.onCardWritten = [&] {
        if (second.view.written.size() == 2) {
            EXPECT_TRUE(server.Stop());
        }
    };
    EXPECT_EQ(FeedSeries(second, 5), 2);
    EXPECT_EQ(second.run.Ended(), SeriesEnd::RegisterFailed);
    EXPECT_EQ(second.run.count, 2);
    EXPECT_EQ(second.view.LastStatus().message, StatusMessage::RegisterFailed);
    // A card the register holds only as reserved is no success.
    EXPECT_EQ(second.view.failures, 1);

    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    CCardRegister check(settings, QStringLiteral("9.9"));
    const auto rows = check.List(RegisterFilter{});
    ASSERT_TRUE(rows.has_value()) << check.LastError().toStdString();
    std::vector<CardRecord> chips = first.view.written;
    chips.insert(chips.end(), second.view.written.begin(), second.view.written.end());
    EXPECT_EQ(CardsOf(*rows), CardsOf(chips));
    for (const RegisterEntry& row : *rows) {
        EXPECT_EQ(row.state, row.fields.number == 103 ? RegisterEntry::State::Reserved
                                                      : RegisterEntry::State::Written)
            << row.fields.number;
    }
}
