// A card's life after its reservation, what the register tells about a chip or a number, and
// the move of a register made by the earlier program to the current layout.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "RegisterCases.h"

using namespace station;

namespace registertest {

namespace {

using State = RegisterEntry::State;

// A card brought into a state; gives its row.
struct Start {
    const char* name;
    std::function<std::int64_t(CCardRegister&, const CardRecord&)> make;
};

const Start kReserved{"reserved", ReserveOk};
const Start kWritten{"written", [](CCardRegister& r, const CardRecord& card) {
                         return WrittenOk(r, card, QStringLiteral("C0"));
                     }};
const Start kUnverified{"unverified", [](CCardRegister& r, const CardRecord& card) {
                            const std::int64_t rowId = ReserveOk(r, card);
                            EXPECT_TRUE(r.HoldUnverified(rowId, QStringLiteral("C0")));
                            return rowId;
                        }};
const Start kRevoked{"revoked", [](CCardRegister& r, const CardRecord& card) {
                         const std::int64_t rowId = WrittenOk(r, card);
                         EXPECT_TRUE(r.Revoke(rowId, RevokeReason::Lost));
                         return rowId;
                     }};
const Start kReplaced{"replaced", [](CCardRegister& r, const CardRecord& card) {
                          const std::int64_t rowId = WrittenOk(r, card);
                          ReissuedOk(r, card, rowId);
                          return rowId;
                      }};

struct Step {
    const char* name;
    std::function<bool(CCardRegister&, std::int64_t)> run;
};

const Step kConfirm{"confirm", [](CCardRegister& r, std::int64_t id) {
                        return r.Confirm(id, true, QStringLiteral("C1"));
                    }};
const Step kHold{"hold unverified",
                 [](CCardRegister& r, std::int64_t id) { return r.HoldUnverified(id, {}); }};
const Step kRelease{"release", [](CCardRegister& r, std::int64_t id) { return r.Release(id); }};
const Step kRevoke{
    "revoke", [](CCardRegister& r, std::int64_t id) { return r.Revoke(id, RevokeReason::Stolen); }};
const Step kReplace{"replace", [](CCardRegister& r, std::int64_t id) {
                        // The operator overwrote the card's chip with another number.
                        CardRecord other = Card(9000 + id);
                        return r.MarkReplaced(id, WrittenOk(r, other),
                                              QStringLiteral("overwritten"));
                    }};
const Step kResolveConfirmed{"resolve confirmed", [](CCardRegister& r, std::int64_t id) {
                                 return r.ResolveConfirmed(id, QStringLiteral("C2"));
                             }};
const Step kResolveReleased{
    "resolve released", [](CCardRegister& r, std::int64_t id) { return r.ResolveReleased(id); }};
const Step kResolveDestroyed{
    "resolve destroyed", [](CCardRegister& r, std::int64_t id) { return r.ResolveDestroyed(id); }};

}  // namespace

// Which changes each state allows, what a refusal says, and the card's history after each.
void CardLife(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    struct Row {
        const Start& start;
        const Step& step;
        std::optional<State> after;  // nullopt: the row is gone
        const char* refusal;         // nullptr: allowed
        std::vector<QString> history;
        const char* reason = "";  // of the row after the change
    };
    const Row table[] = {
        {kReserved, kConfirm, State::Written, nullptr, {"reserved", "verified"}},
        {kReserved, kHold, State::Unverified, nullptr, {"reserved", "unverified"}},
        {kReserved, kRelease, std::nullopt, nullptr, {"reserved", "released"}},
        {kReserved, kRevoke, State::Reserved, "resolve the reservation first", {"reserved"}},
        {kReserved, kResolveConfirmed, State::Written, nullptr, {"reserved", "resolved"}},
        {kReserved, kResolveReleased, std::nullopt, nullptr, {"reserved", "resolved"}},
        {kReserved,
         kResolveDestroyed,
         State::Revoked,
         nullptr,
         {"reserved", "resolved"},
         "destroyed"},
        {kWritten, kConfirm, State::Written, nullptr, {"reserved", "verified"}},
        {kWritten, kRevoke, State::Revoked, nullptr, {"reserved", "verified", "revoked"}, "stolen"},
        {kWritten, kReplace, State::Replaced, nullptr, {"reserved", "verified", "replaced"}},
        {kWritten, kRelease, State::Written, "only a reservation", {"reserved", "verified"}},
        {kWritten,
         kResolveReleased,
         State::Written,
         "only a reservation or an unverified card",
         {"reserved", "verified"}},
        {kUnverified,
         kResolveConfirmed,
         State::Written,
         nullptr,
         {"reserved", "unverified", "resolved"}},
        {kUnverified,
         kRevoke,
         State::Revoked,
         nullptr,
         {"reserved", "unverified", "revoked"},
         "stolen"},
        {kRevoked,
         kRevoke,
         State::Revoked,
         "is revoked (lost); only a re-issue writes it again",
         {"reserved", "verified", "revoked"},
         "lost"},
        {kRevoked,
         kConfirm,
         State::Revoked,
         "only a reservation",
         {"reserved", "verified", "revoked"},
         "lost"},
        {kReplaced,
         kRevoke,
         State::Replaced,
         "was replaced by row",
         {"reserved", "verified", "replaced"}},
    };
    std::int64_t number = 100;
    for (const Row& row : table) {
        SCOPED_TRACE(std::string(row.start.name) + ", " + row.step.name);
        const CardRecord card = Card(++number);
        const std::int64_t rowId = row.start.make(cardRegister, card);
        const bool done = row.step.run(cardRegister, rowId);
        EXPECT_EQ(done, row.refusal == nullptr) << cardRegister.LastError().toStdString();
        if (row.refusal) {
            EXPECT_TRUE(cardRegister.LastError().contains(QString::fromLatin1(row.refusal)))
                << cardRegister.LastError().toStdString();
        }
        const auto rows = cardRegister.FindCard(0, card.fields);
        ASSERT_TRUE(rows);
        std::optional<RegisterEntry> now;
        for (const RegisterEntry& entry : *rows)
            if (entry.id == rowId) now = entry;
        EXPECT_EQ(now.has_value(), row.after.has_value());
        if (now && row.after) {
            EXPECT_EQ(now->state, *row.after);
            EXPECT_EQ(now->reason, QString::fromLatin1(row.reason));
        }
        // The row's own history; a released row keeps it.
        EXPECT_EQ(Kinds(cardRegister.History(rowId)), row.history);
    }
}

void LookupsAndHistory(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    if (settings.kind == RegisterSettings::Kind::SQLite) {
        EXPECT_EQ(cardRegister.Where(), QStringLiteral("file ") + settings.file);
    } else {
        EXPECT_EQ(cardRegister.Where(), QStringLiteral("PostgreSQL %1@%2:%3/%4")
                                            .arg(settings.user, settings.host)
                                            .arg(settings.port)
                                            .arg(settings.database));
    }

    // The chip of a valid card is found by its identification, until the card is revoked.
    const std::int64_t card = WrittenOk(cardRegister, Card(4711), QStringLiteral("AA01"));
    std::optional<RegisterEntry> valid;
    ASSERT_TRUE(cardRegister.FindValidByUid(QStringLiteral("AA01"), valid));
    ASSERT_TRUE(valid);
    EXPECT_EQ(valid->id, card);
    ASSERT_TRUE(cardRegister.FindValidByUid(QStringLiteral("AA02"), valid));
    EXPECT_FALSE(valid);

    // An overwrite the operator confirmed: the chip now carries the new card, the earlier one
    // is replaced by it.
    const std::int64_t overwrite = WrittenOk(cardRegister, Card(4712), QStringLiteral("AA01"));
    ASSERT_TRUE(cardRegister.MarkReplaced(card, overwrite, QStringLiteral("overwritten")));
    ASSERT_TRUE(cardRegister.MarkReplaced(card, overwrite, QStringLiteral("overwritten")));
    ASSERT_TRUE(cardRegister.FindValidByUid(QStringLiteral("AA01"), valid));
    ASSERT_TRUE(valid);
    EXPECT_EQ(valid->id, overwrite);
    EXPECT_EQ(Row(cardRegister, card).replacedBy, overwrite);

    // A number under both names has one history, its released reservations included.
    const std::int64_t lost =
        WrittenOk(cardRegister, Huge26((12 << 16) | 50), QStringLiteral("B1"));
    ASSERT_TRUE(cardRegister.Revoke(lost, RevokeReason::Lost));
    std::int64_t attempt = 0;
    std::optional<RegisterEntry> earlier;
    ASSERT_EQ(cardRegister.ReserveReissue(Card(50), false, lost, QStringLiteral("lost"), attempt,
                                          earlier),
              ReserveResult::Reserved);
    ASSERT_TRUE(cardRegister.Release(attempt));
    const std::int64_t valid50 = ReissuedOk(cardRegister, Card(50), lost);
    const std::vector<QString> kinds = {"reserved", "verified", "revoked",  "reissued",
                                        "released", "reissued", "verified", "replaced"};
    EXPECT_EQ(Kinds(cardRegister.History(0, Card(50).fields)), kinds);
    const auto history = cardRegister.History(1, Huge26((12 << 16) | 50).fields);
    EXPECT_EQ(Kinds(history), kinds);
    ASSERT_TRUE(history && history->size() == kinds.size());
    EXPECT_EQ(history->at(2).reason, QStringLiteral("lost"));
    EXPECT_FALSE(history->at(2).station.isEmpty());
    EXPECT_FALSE(history->at(2).operatorName.isEmpty());
    EXPECT_EQ(history->at(1).uid, QStringLiteral("B1"));
    EXPECT_LE(std::abs(history->back().time.secsTo(QDateTime::currentDateTimeUtc())), 60);
    // The valid card first, then the card it replaced.
    const auto found = cardRegister.FindCard(1, Huge26((12 << 16) | 50).fields);
    ASSERT_TRUE(found);
    EXPECT_EQ(Ids(*found), (std::vector<std::int64_t>{valid50, lost}));
    EXPECT_EQ(found->at(1).format, 1);
    const auto none = cardRegister.FindCard(0, Card(51).fields);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

// A register made by the earlier program, with its own statements: rows, reservations and
// re-issues survive, one card under two names becomes one card, and the history begins.
void MigrationFromVersion1(RegisterDatabases& databases, const RegisterSettings& settings) {
    const bool sqlite = settings.kind == RegisterSettings::Kind::SQLite;
    if (sqlite) QDir().mkpath(QFileInfo(settings.file).absolutePath());
    {
        QSqlQuery raw(databases.Raw(settings));
        const QString statements[] = {
            "CREATE TABLE register_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
            QStringLiteral(
                "CREATE TABLE cards (%1, format TEXT NOT NULL, facility INTEGER NOT NULL, "
                "number BIGINT NOT NULL, extra INTEGER NOT NULL DEFAULT 0, chip TEXT NOT NULL, "
                "chip_id TEXT NOT NULL DEFAULT '', locked INTEGER NOT NULL DEFAULT 0, verified "
                "INTEGER NOT NULL DEFAULT 0, reissue INTEGER NOT NULL DEFAULT 0, state TEXT NOT "
                "NULL, time TEXT NOT NULL, station TEXT NOT NULL DEFAULT '', operator TEXT NOT "
                "NULL DEFAULT '', program_version TEXT NOT NULL DEFAULT '')")
                .arg(sqlite ? "id INTEGER PRIMARY KEY AUTOINCREMENT" : "id BIGSERIAL PRIMARY KEY"),
            "CREATE UNIQUE INDEX cards_issued ON cards (format, facility, number) "
            "WHERE reissue = 0",
            "CREATE INDEX cards_time ON cards (time)",
            "INSERT INTO register_info (key, value) VALUES ('schema_version', '1')",
        };
        for (const QString& statement : statements)
            ASSERT_TRUE(raw.exec(statement)) << raw.lastError().text().toStdString();
        // format, facility, number, chip id, verified, re-issue, state, in the order of ids
        const char* rows[] = {
            "'26', 12, 4711, 'A1', 1, 0, 'written'",        // 1
            "'26-huge', 0, 791143, 'A2', 1, 0, 'written'",  // 2: card 1 under its other name
            "'26', 12, 7, 'B1', 1, 0, 'written'",           // 3
            "'26', 12, 7, 'B2', 0, 1, 'written'",           // 4: a re-issue of 3
            "'26', 12, 8, '', 0, 0, 'reserved'",            // 5
            "'48-new', 3, 2, 'C1', 1, 0, 'written'",        // 6: a format of a newer program
            "'26', 12, 9, 'D1', 0, 0, 'unverified'",        // 7
            "'26', 12, 20, 'E1', 1, 0, 'written'",          // 8
            "'26', 12, 20, '', 0, 1, 'reserved'",           // 9: a re-issue whose station ended
            "'26', 12, 20, 'E2', 1, 1, 'written'",          // 10: a later re-issue
        };
        for (const char* row : rows) {
            ASSERT_TRUE(
                raw.exec(QStringLiteral("INSERT INTO cards (format, facility, number, chip_id, "
                                        "verified, reissue, state, chip, time, station, operator) "
                                        "VALUES (%1, 'ata5577', '2025-05-05T10:00:00.000Z', 'old', "
                                        "'ann')")
                             .arg(QString::fromLatin1(row))))
                << raw.lastError().text().toStdString();
        }
    }
    CCardRegister cardRegister(settings, kVersion);
    ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
    std::vector<RegisterEntry> rows = All(cardRegister);
    ASSERT_EQ(rows.size(), 10u);
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    const auto id = [&](int index) { return rows[index - 1].id; };
    struct Expected {
        State state;
        std::int64_t replaces;  // by index, 0 none
        std::int64_t replacedBy;
        bool reissue;
    };
    const Expected expected[] = {
        {State::Replaced, 0, 2, false},
        {State::Written, 1, 0, true},
        {State::Replaced, 0, 4, false},
        {State::Written, 3, 0, true},
        {State::Reserved, 0, 0, false},
        {State::Written, 0, 0, false},
        {State::Unverified, 0, 0, false},
        // The reservation between the two written rows does not leave 8 valid beside 10.
        {State::Replaced, 0, 10, false},
        {State::Reserved, 8, 0, true},
        {State::Written, 9, 0, true},
    };
    for (int index = 1; index <= 10; ++index) {
        SCOPED_TRACE(index);
        const RegisterEntry& row = rows[index - 1];
        const Expected& want = expected[index - 1];
        EXPECT_EQ(row.state, want.state);
        EXPECT_EQ(row.replaces, want.replaces ? id(want.replaces) : 0);
        EXPECT_EQ(row.replacedBy, want.replacedBy ? id(want.replacedBy) : 0);
        EXPECT_EQ(row.reissue, want.reissue);
        EXPECT_EQ(row.station, QStringLiteral("old"));
    }
    EXPECT_EQ(rows[1].formatText, QStringLiteral("26-huge"));
    EXPECT_EQ(rows[5].formatText, QStringLiteral("48-new"));

    // Every old number is held, under either name.
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.Reserve(Huge26((12 << 16) | 8), false, rowId, earlier),
              ReserveResult::Duplicate);
    EXPECT_EQ(earlier->id, id(5));
    EXPECT_EQ(cardRegister.Reserve(Card(4711), false, rowId, earlier), ReserveResult::Duplicate);
    EXPECT_EQ(earlier->id, id(2));
    CardRecord next = Card(7);
    EXPECT_EQ(cardRegister.ReserveNextFree(next, false, 7, 20, rowId), ReserveResult::Reserved);
    EXPECT_EQ(next.fields.number, 10);
    // The history begins with each card as it stood.
    const auto history = cardRegister.History(0, Card(7).fields);
    EXPECT_EQ(Kinds(history), (std::vector<QString>{"replaced", "written"}));
    ASSERT_TRUE(history && !history->empty());
    EXPECT_EQ(history->front().time, QDateTime(QDate(2025, 5, 5), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(history->front().uid, QStringLiteral("B1"));
    // As it stood after the move: 8 replaced then, not by a later repair.
    EXPECT_EQ(Kinds(cardRegister.History(id(8))), std::vector<QString>{"replaced"});

    // Opened again, nothing moves twice.
    CCardRegister again(settings, kVersion);
    ASSERT_TRUE(again.Open()) << again.LastError().toStdString();
    EXPECT_EQ(Kinds(again.History(0, Card(7).fields)), Kinds(history));
    QSqlQuery raw(databases.Raw(settings));
    ASSERT_TRUE(raw.exec("SELECT value FROM register_info WHERE key = 'schema_version'"));
    ASSERT_TRUE(raw.next());
    EXPECT_EQ(raw.value(0).toString(), QStringLiteral("4"));
}

}  // namespace registertest
