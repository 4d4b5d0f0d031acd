// What the register's database refuses by itself, behind the program's back: a second valid
// card of one number, a change of a card its life does not allow, any change of the history;
// a confirmation that replaces the earlier cards in its own transaction; and the move of a
// version-3 register, made with its own statements, to the rules of version 4.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdlib>

#include "RegisterCases.h"
#include "station/register/RegisterRules.h"

using namespace station;

namespace registertest {

namespace {

using State = RegisterEntry::State;

// Runs statement on db; empty when it passed, else the database's words.
QString Refusal(QSqlDatabase db, const QString& statement) {
    QSqlQuery query(db);
    if (query.exec(statement)) return QString();
    const QString words = query.lastError().databaseText();
    return words.isEmpty() ? QStringLiteral("refused") : words;
}

}  // namespace

void DatabaseRules(RegisterDatabases& databases, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const std::int64_t written = WrittenOk(cardRegister, Card(10), QStringLiteral("A10"));
    const std::int64_t revoked = WrittenOk(cardRegister, Card(11), QStringLiteral("A11"));
    ASSERT_TRUE(cardRegister.Revoke(revoked, RevokeReason::Lost));
    const std::int64_t reserved = ReserveOk(cardRegister, Card(12));
    // A re-issue of 10, reserved: it becomes valid only once 10 is replaced.
    std::int64_t reissue = 0;
    std::optional<RegisterEntry> earlier;
    ASSERT_EQ(cardRegister.ReserveReissue(Card(10), false, written, QStringLiteral("broken"),
                                          reissue, earlier),
              ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();

    // A revoked card is never resolved, by the register or behind its back.
    EXPECT_FALSE(cardRegister.ResolveConfirmed(revoked, QStringLiteral("A11")));
    EXPECT_TRUE(cardRegister.LastError().contains(QLatin1String("is revoked (lost)")))
        << cardRegister.LastError().toStdString();

    const QString change = QString::fromLatin1(kRefusedCardChange);
    const QString removal = QString::fromLatin1(kRefusedCardRemoval);
    const QString history = QString::fromLatin1(kRefusedHistoryChange);
    const auto on = [](std::int64_t id) { return QStringLiteral(" WHERE id = %1").arg(id); };
    struct Case {
        const char* name;
        QString statement;
        QString words;  // part of the refusal
    };
    const Case cases[] = {
        {"revoked back to written", "UPDATE cards SET state = 'written'" + on(revoked), change},
        {"revoked resolved as destroyed", "UPDATE cards SET reason = 'destroyed'" + on(revoked),
         change},
        {"written back to reserved", "UPDATE cards SET state = 'reserved'" + on(written), change},
        {"written to unverified", "UPDATE cards SET state = 'unverified'" + on(written), change},
        {"reserved to replaced", "UPDATE cards SET state = 'replaced'" + on(reserved), change},
        {"another number", "UPDATE cards SET number = 99" + on(written), change},
        {"another key", "UPDATE cards SET card_key = card_key + 1" + on(written), change},
        {"another chip", "UPDATE cards SET chip = 'q5'" + on(written), change},
        {"another holder", "UPDATE cards SET holder = 7" + on(written), change},
        {"out of the re-issue index", "UPDATE cards SET reissue = 1" + on(written), change},
        {"an older time", "UPDATE cards SET time = '2020-01-01T00:00:00.000Z'" + on(written),
         change},
        {"a confirmation dated back",
         "UPDATE cards SET state = 'written', time = '2020-01-01T00:00:00.000Z'" + on(reserved),
         change},
        {"a link moved", "UPDATE cards SET replaces = replaces + 100" + on(reissue), change},
        {"a second valid card of 10", "UPDATE cards SET state = 'written'" + on(reissue),
         QStringLiteral("cards_valid")},
        {"a written card deleted", "DELETE FROM cards" + on(written), removal},
        {"a revoked card deleted", "DELETE FROM cards" + on(revoked), removal},
        {"history changed", QStringLiteral("UPDATE card_events SET reason = 'x'"), history},
        {"history deleted", QStringLiteral("DELETE FROM card_events"), history},
    };
    QSqlDatabase raw = databases.Raw(settings);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString words = Refusal(raw, c.statement);
        // SQLite names a refused unique index by its columns.
        const QString expected = settings.kind == RegisterSettings::Kind::SQLite &&
                                         c.words == QLatin1String("cards_valid")
                                     ? QStringLiteral("UNIQUE constraint failed")
                                     : c.words;
        EXPECT_TRUE(words.contains(expected)) << words.toStdString();
    }
    if (settings.kind == RegisterSettings::Kind::PostgreSQL) {
        for (const char* table : {"cards", "card_events"})
            EXPECT_FALSE(Refusal(raw, QStringLiteral("TRUNCATE %1").arg(table)).isEmpty());
    }
    // A second valid card inserted as a re-issue, outside the issue index.
    EXPECT_FALSE(Refusal(raw, QStringLiteral(
                                  "INSERT INTO cards (format, facility, number, chip, state, time, "
                                  "reissue, layout, card_key) SELECT format, facility, number, "
                                  "chip, 'written', time, 1, layout, card_key FROM cards") +
                                  on(written))
                     .isEmpty());

    // What the program does still passes: the re-issue replaces 10 and becomes valid.
    ASSERT_TRUE(cardRegister.Confirm(reissue, true, QStringLiteral("B10")))
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(Row(cardRegister, written).state, State::Replaced);
    EXPECT_EQ(Row(cardRegister, reissue).state, State::Written);
    EXPECT_EQ(Row(cardRegister, revoked).state, State::Revoked);

    // The history's time is the database's own, its role on PostgreSQL the server's word.
    QSqlQuery query(raw);
    ASSERT_TRUE(
        query.exec(QStringLiteral("INSERT INTO card_events (card_id, layout, card_key, "
                                  "kind) VALUES (0, '26', 1, 'test')")));
    ASSERT_TRUE(query.exec(
        QStringLiteral("SELECT time, db_role, request FROM card_events WHERE kind = 'test'")));
    ASSERT_TRUE(query.next());
    const QDateTime time = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs);
    EXPECT_LT(std::abs(time.secsTo(QDateTime::currentDateTimeUtc())), 600)
        << query.value(0).toString().toStdString();
    EXPECT_EQ(query.value(1).toString(),
              settings.kind == RegisterSettings::Kind::PostgreSQL ? settings.user : QString());
    EXPECT_EQ(query.value(2).toString(), QString());
    // Every change of the program carries its request.
    ASSERT_TRUE(
        query.exec(QStringLiteral("SELECT COUNT(*) FROM card_events WHERE request = '' "
                                  "AND kind <> 'test'")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toInt(), 0);
}

// A card that takes the place of earlier ones replaces them in the transaction that confirms
// it; an earlier card revoked meanwhile stays revoked, and the confirmation still goes through.
void ConfirmReplacesInOneTransaction(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const std::int64_t onChip = WrittenOk(cardRegister, Card(20), QStringLiteral("C1"));
    const std::int64_t lost = WrittenOk(cardRegister, Card(21));
    const std::int64_t unverified = ReserveOk(cardRegister, Card(22));
    ASSERT_TRUE(cardRegister.HoldUnverified(unverified, QString()));
    ASSERT_TRUE(cardRegister.Revoke(lost, RevokeReason::Lost));  // by another station
    const std::int64_t newCard = ReserveOk(cardRegister, Card(23));
    const std::vector<EarlierCard> earlier = {{onChip, QStringLiteral("overwritten")},
                                              {lost, QStringLiteral("lost")},
                                              {unverified, QStringLiteral("not verified")}};
    ASSERT_TRUE(cardRegister.Confirm(newCard, true, QStringLiteral("C1"), earlier))
        << cardRegister.LastError().toStdString();
    // Asked again (a reply lost), nothing changes twice.
    ASSERT_TRUE(cardRegister.Confirm(newCard, true, QStringLiteral("C1"), earlier));
    struct Expected {
        std::int64_t row;
        State state;
        std::vector<QString> kinds;
    };
    const Expected expected[] = {
        {onChip, State::Replaced, {"reserved", "verified", "replaced"}},
        {lost, State::Revoked, {"reserved", "verified", "revoked", "replaced"}},
        {unverified, State::Replaced, {"reserved", "unverified", "replaced"}},
        {newCard, State::Written, {"reserved", "verified"}},
    };
    for (const Expected& want : expected) {
        SCOPED_TRACE(want.row);
        const RegisterEntry row = Row(cardRegister, want.row);
        EXPECT_EQ(row.state, want.state);
        EXPECT_EQ(row.replacedBy, want.row == newCard ? 0 : newCard);
        EXPECT_EQ(Kinds(cardRegister.History(want.row)), want.kinds);
    }
    // A held unverified card replaces the holder's earlier unverified one the same way.
    const std::int64_t first = ReserveOk(cardRegister, Card(30));
    ASSERT_TRUE(cardRegister.HoldUnverified(first, QString()));
    const std::int64_t second = ReserveOk(cardRegister, Card(31));
    ASSERT_TRUE(cardRegister.HoldUnverified(second, QString(), {{first, "not verified"}}));
    EXPECT_EQ(Row(cardRegister, first).state, State::Replaced);
    EXPECT_EQ(Row(cardRegister, second).state, State::Unverified);
}

// A register of version 3, made with that version's statements: its rows and marks survive,
// a number it let keep two valid cards keeps the newest, and the rules hold afterwards.
void MigrationFromVersion3(RegisterDatabases& databases, const RegisterSettings& settings) {
    const bool sqlite = settings.kind == RegisterSettings::Kind::SQLite;
    if (sqlite) QDir().mkpath(QFileInfo(settings.file).absolutePath());
    const QString id = sqlite ? "id INTEGER PRIMARY KEY AUTOINCREMENT" : "id BIGSERIAL PRIMARY KEY";
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
                "NULL DEFAULT '', program_version TEXT NOT NULL DEFAULT '', layout TEXT NOT NULL "
                "DEFAULT '', card_key BIGINT NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT '', "
                "replaces BIGINT NOT NULL DEFAULT 0, replaced_by BIGINT NOT NULL DEFAULT 0, "
                "holder BIGINT NOT NULL DEFAULT 0)")
                .arg(id),
            "CREATE INDEX cards_time ON cards (time)",
            "CREATE UNIQUE INDEX cards_issued ON cards (layout, card_key) WHERE reissue = 0",
            "CREATE UNIQUE INDEX cards_replaces ON cards (replaces) WHERE replaces <> 0",
            "CREATE INDEX cards_card ON cards (layout, card_key)",
            "CREATE INDEX cards_chip ON cards (chip_id)",
            QStringLiteral("CREATE TABLE card_events (%1, card_id BIGINT NOT NULL, layout TEXT "
                           "NOT NULL, card_key BIGINT NOT NULL, kind TEXT NOT NULL, time TEXT NOT "
                           "NULL, station TEXT NOT NULL DEFAULT '', operator TEXT NOT NULL "
                           "DEFAULT '', reason TEXT NOT NULL DEFAULT '', chip_id TEXT NOT NULL "
                           "DEFAULT '')")
                .arg(id),
            "CREATE INDEX card_events_card ON card_events (layout, card_key)",
            "CREATE INDEX card_events_row ON card_events (card_id)",
            "CREATE INDEX cards_newest ON cards (time, id)",
            "CREATE INDEX cards_number ON cards (number)",
            "CREATE INDEX card_events_freed ON card_events (layout, card_key) "
            "WHERE kind IN ('released', 'resolved')",
            QStringLiteral("CREATE TABLE holders (%1, personnel_number TEXT NOT NULL UNIQUE, "
                           "name TEXT NOT NULL DEFAULT '', department TEXT NOT NULL DEFAULT '', "
                           "notes TEXT NOT NULL DEFAULT '', left_since TEXT NOT NULL DEFAULT '', "
                           "changed TEXT NOT NULL, station TEXT NOT NULL DEFAULT '', "
                           "operator TEXT NOT NULL DEFAULT '')")
                .arg(id),
            "CREATE INDEX cards_holder ON cards (holder)",
            "INSERT INTO register_info (key, value) VALUES ('schema_version', '3')",
            // Card 4711 twice valid (an issue and a re-issue whose replacement never
            // happened), card 4712 once; the series from 4700 on was held up to 4712.
            "INSERT INTO cards (format, facility, number, chip, chip_id, verified, state, time, "
            "layout, card_key, reissue) VALUES ('26', 12, 4711, 'ata5577', 'A1', 1, 'written', "
            "'2025-05-05T10:00:00.000Z', '26', 791143, 0)",
            "INSERT INTO cards (format, facility, number, chip, chip_id, verified, state, time, "
            "layout, card_key, reissue, replaces) VALUES ('26', 12, 4711, 'ata5577', 'A2', 1, "
            "'written', '2025-05-06T10:00:00.000Z', '26', 791143, 1, 1)",
            "INSERT INTO cards (format, facility, number, chip, chip_id, verified, state, time, "
            "layout, card_key) VALUES ('26', 12, 4712, 'ata5577', 'A3', 1, 'unverified', "
            "'2025-05-06T11:00:00.000Z', '26', 791144)",
            "INSERT INTO card_events (card_id, layout, card_key, kind, time) VALUES "
            "(1, '26', 791143, 'verified', '2025-05-05T10:00:00.000Z'), "
            "(2, '26', 791143, 'verified', '2025-05-06T10:00:00.000Z'), "
            "(3, '26', 791144, 'unverified', '2025-05-06T11:00:00.000Z')",
            "INSERT INTO register_info (key, value) VALUES ('next_free 26 791132', '791144')",
        };
        for (const QString& statement : statements)
            ASSERT_TRUE(raw.exec(statement)) << raw.lastError().text().toStdString();
    }
    CCardRegister cardRegister(settings, kVersion);
    ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
    std::vector<RegisterEntry> rows = All(cardRegister);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(Row(cardRegister, 1).state, State::Replaced);
    EXPECT_EQ(Row(cardRegister, 1).replacedBy, 2);
    EXPECT_EQ(Row(cardRegister, 2).state, State::Written);
    EXPECT_EQ(Row(cardRegister, 3).state, State::Unverified);
    const auto history = cardRegister.History(1);
    EXPECT_EQ(Kinds(history), (std::vector<QString>{"verified", "replaced"}));
    ASSERT_TRUE(history && history->size() == 2);
    EXPECT_EQ(history->front().time, QDateTime(QDate(2025, 5, 5), QTime(10, 0), Qt::UTC));

    // The mark (which says the numbers up to 4712 are held) moved with its series: the next
    // free number from 4700 on is searched for past it.
    CardRecord next = Card(0);
    std::int64_t rowId = 0;
    ASSERT_EQ(cardRegister.ReserveNextFree(next, false, 4700, 5000, rowId), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(next.fields.number, 4713);
    QSqlQuery raw(databases.Raw(settings));
    ASSERT_TRUE(
        raw.exec("SELECT held_to FROM next_free_marks WHERE layout = '26' AND "
                 "first_key = 791132"));
    ASSERT_TRUE(raw.next()) << "the mark did not move";
    EXPECT_GE(raw.value(0).toLongLong(), 791144);
    ASSERT_TRUE(raw.exec("SELECT COUNT(*) FROM register_info"));
    ASSERT_TRUE(raw.next());
    EXPECT_EQ(raw.value(0).toInt(), 1);  // the schema version alone
    ASSERT_TRUE(raw.exec("SELECT value FROM register_info WHERE key = 'schema_version'"));
    ASSERT_TRUE(raw.next());
    EXPECT_EQ(raw.value(0).toString(), QStringLiteral("4"));
    // The rules hold on the migrated register.
    EXPECT_FALSE(raw.exec("UPDATE cards SET state = 'written' WHERE id = 1"));
    EXPECT_FALSE(raw.exec("DELETE FROM card_events"));
    // Opened again, nothing moves twice.
    CCardRegister again(settings, kVersion);
    ASSERT_TRUE(again.Open()) << again.LastError().toStdString();
    EXPECT_EQ(Kinds(again.History(1)), Kinds(history));
}

}  // namespace registertest
