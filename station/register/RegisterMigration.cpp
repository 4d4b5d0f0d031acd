#include "station/register/RegisterMigration.h"

#include <QSqlQuery>
#include <QVariant>
#include <vector>

#include "station/CardFormatTable.h"
#include "station/register/CardKey.h"
#include "station/register/RegisterRules.h"

namespace station {

namespace {

bool Run(QSqlQuery& query, QString& error) {
    if (query.exec()) return true;
    error = DatabaseWords(query.lastError());
    return false;
}

// Version 1 keyed a card by its format name: each row gets the key of what is on its chip.
bool FillCardKeys(QSqlDatabase& db, QString& error) {
    struct Keyed {
        qlonglong id;
        CardKey key;
    };
    std::vector<Keyed> rows;
    QSqlQuery select(db);
    select.setForwardOnly(true);
    if (!select.exec(QStringLiteral("SELECT id, format, facility, number, extra FROM cards"))) {
        error = DatabaseWords(select.lastError());
        return false;
    }
    while (select.next()) {
        const QString formatText = select.value(1).toString();
        CardFields fields;
        fields.facility = select.value(2).toInt();
        fields.number = select.value(3).toLongLong();
        fields.fixed = select.value(4).toInt();
        const int format = FormatOfCommandName(formatText.toStdString());
        rows.push_back({select.value(0).toLongLong(),
                        IsCardFormat(format)
                            ? CardKeyOf(format, fields)
                            : ForeignCardKey(formatText, fields.facility, fields.number)});
    }
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE cards SET layout = ?, card_key = ? WHERE id = ?"));
    for (const Keyed& row : rows) {
        update.addBindValue(row.key.layout);
        update.addBindValue(static_cast<qlonglong>(row.key.value));
        update.addBindValue(row.id);
        if (!Run(update, error)) return false;
    }
    return true;
}

bool Valid(const QString& state) {
    return state == QLatin1String("written") || state == QLatin1String("unverified");
}

// Version 1 kept the cards of one number side by side: its re-issues unlinked, and the same card
// under two format names as two issues. Each later row of a card now replaces the one before;
// a valid one marks the card's last valid row before it replaced, as a confirmed re-issue
// does, so that no number keeps two valid cards.
bool LinkCards(QSqlDatabase& db, QString& error) {
    struct Row {
        qlonglong id;
        QString layout;
        qlonglong key;
        bool reissue;
        QString state;
    };
    std::vector<Row> rows;
    QSqlQuery select(db);
    select.setForwardOnly(true);
    if (!select.exec(QStringLiteral("SELECT id, layout, card_key, reissue, state FROM cards "
                                    "ORDER BY layout, card_key, id"))) {
        error = DatabaseWords(select.lastError());
        return false;
    }
    while (select.next()) {
        rows.push_back({select.value(0).toLongLong(), select.value(1).toString(),
                        select.value(2).toLongLong(), select.value(3).toInt() != 0,
                        select.value(4).toString()});
    }
    QSqlQuery link(db);
    link.prepare(QStringLiteral(
        "UPDATE cards SET replaces = ?, reissue = 1, reason = CASE WHEN reissue = 0 THEN ? "
        "ELSE reason END WHERE id = ?"));
    QSqlQuery replace(db);
    replace.prepare(
        QStringLiteral("UPDATE cards SET state = 'replaced', replaced_by = ? WHERE id = ?"));
    // The card's last valid row so far: a reservation between two written rows (a re-issue
    // whose station ended) must not leave the first one valid beside the last.
    Row* lastValid = nullptr;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Row& row = rows[i];
        const bool sameCard =
            i > 0 && row.layout == rows[i - 1].layout && row.key == rows[i - 1].key;
        if (!sameCard) {
            lastValid = Valid(row.state) ? &row : nullptr;
            continue;
        }
        const Row& before = rows[i - 1];
        link.addBindValue(before.id);
        link.addBindValue(
            QStringLiteral("the card of row %1 under another format name").arg(before.id));
        link.addBindValue(row.id);
        if (!Run(link, error)) return false;
        if (!Valid(row.state)) continue;
        if (lastValid != nullptr) {
            replace.addBindValue(row.id);
            replace.addBindValue(lastValid->id);
            if (!Run(replace, error)) return false;
            lastValid->state = QStringLiteral("replaced");
        }
        lastValid = &row;
    }
    return true;
}

bool MigrateToVersion2(QSqlDatabase& db, RegisterDialect dialect, QString& error) {
    for (const QString& column : Version2CardColumns()) {
        if (!RunStatement(db, QStringLiteral("ALTER TABLE cards ADD COLUMN ") + column, error))
            return false;
    }
    if (!RunStatement(db, QStringLiteral("DROP INDEX cards_issued"), error)) return false;
    if (!FillCardKeys(db, error) || !LinkCards(db, error)) return false;
    for (const QString& statement : Version2Statements(dialect)) {
        if (!RunStatement(db, statement, error)) return false;
    }
    // The history begins with each card as it stands.
    return RunStatement(
               db,
               QStringLiteral(
                   "INSERT INTO card_events (card_id, layout, card_key, kind, time, station, "
                   "operator, reason, chip_id) SELECT id, layout, card_key, CASE WHEN state = "
                   "'written' AND verified = 1 THEN 'verified' ELSE state END, time, station, "
                   "operator, 'recorded before the history began', chip_id FROM cards "
                   "ORDER BY id"),
               error) &&
           RunStatement(db,
                        QStringLiteral("UPDATE register_info SET value = '2' "
                                       "WHERE key = 'schema_version'"),
                        error);
}

// Version 3 adds the holders; every card it finds was issued to nobody.
bool MigrateToVersion3(QSqlDatabase& db, RegisterDialect dialect, QString& error) {
    if (!RunStatement(db, QStringLiteral("ALTER TABLE cards ADD COLUMN ") + Version3CardColumn(),
                      error))
        return false;
    for (const QString& statement : Version3Statements(dialect)) {
        if (!RunStatement(db, statement, error)) return false;
    }
    return RunStatement(
        db, QStringLiteral("UPDATE register_info SET value = '3' WHERE key = 'schema_version'"),
        error);
}

// Registers before version 4 could come to hold two valid cards of one number (an
// interrupted replacement, a hand-edited import): the newest stays valid, the others become
// replaced by it, recorded, before the database's index refuses such a pair.
bool ReplaceSecondValidCards(QSqlDatabase& db, QString& error) {
    struct Valid {
        qlonglong id;
        QString layout;
        qlonglong key;
        qlonglong replacedBy;
    };
    std::vector<Valid> rows;
    QSqlQuery select(db);
    select.setForwardOnly(true);
    if (!select.exec(QStringLiteral("SELECT id, layout, card_key, replaced_by FROM cards WHERE "
                                    "state IN ('written', 'unverified') "
                                    "ORDER BY layout, card_key, id DESC"))) {
        error = DatabaseWords(select.lastError());
        return false;
    }
    while (select.next()) {
        rows.push_back({select.value(0).toLongLong(), select.value(1).toString(),
                        select.value(2).toLongLong(), select.value(3).toLongLong()});
    }
    QSqlQuery replace(db);
    replace.prepare(
        QStringLiteral("UPDATE cards SET state = 'replaced', replaced_by = ? WHERE id = ?"));
    QSqlQuery record(db);
    record.prepare(
        QStringLiteral("INSERT INTO card_events (card_id, layout, card_key, kind, "
                       "reason) VALUES (?, ?, ?, 'replaced', ?)"));
    const Valid* newest = nullptr;
    for (const Valid& row : rows) {
        if (newest == nullptr || row.layout != newest->layout || row.key != newest->key) {
            newest = &row;
            continue;
        }
        replace.addBindValue(row.replacedBy != 0 ? row.replacedBy : newest->id);
        replace.addBindValue(row.id);
        record.addBindValue(row.id);
        record.addBindValue(row.layout);
        record.addBindValue(row.key);
        record.addBindValue(
            QStringLiteral("a second valid card of the number (row %1)").arg(newest->id));
        if (!Run(replace, error) || !Run(record, error)) return false;
    }
    return true;
}

// The next free number's marks move from register_info to a table of their own.
bool MoveHeldMarks(QSqlDatabase& db, QString& error) {
    QSqlQuery select(db);
    if (!select.exec(
            QStringLiteral("SELECT key, value FROM register_info WHERE key LIKE 'next_free %'"))) {
        error = DatabaseWords(select.lastError());
        return false;
    }
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO next_free_marks (layout, first_key, held_to) VALUES (?, ?, ?)"));
    while (select.next()) {
        // "next_free <layout> <first key>"; a damaged mark only costs one full search.
        const QStringList words = select.value(0).toString().split(QLatin1Char(' '));
        bool firstOk = false;
        bool heldOk = false;
        const qlonglong first = words.value(2).toLongLong(&firstOk);
        const qlonglong heldTo = select.value(1).toString().toLongLong(&heldOk);
        if (words.size() != 3 || !firstOk || !heldOk) continue;
        insert.addBindValue(words[1]);
        insert.addBindValue(first);
        insert.addBindValue(heldTo);
        if (!Run(insert, error)) return false;
    }
    select.finish();
    return RunStatement(
        db, QStringLiteral("DELETE FROM register_info WHERE key LIKE 'next_free %'"), error);
}

// Version 4: the database holds the rules (RegisterRules.h).
bool MigrateToVersion4(QSqlDatabase& db, RegisterDialect dialect, QString& error) {
    for (const QString& statement : Version4EventStatements(dialect)) {
        if (!RunStatement(db, statement, error)) return false;
    }
    if (!ReplaceSecondValidCards(db, error)) return false;
    for (const QString& statement : Version4Statements(dialect) + RuleStatements(dialect)) {
        if (!RunStatement(db, statement, error)) return false;
    }
    return MoveHeldMarks(db, error) &&
           RunStatement(db,
                        QStringLiteral("UPDATE register_info SET value = '4' "
                                       "WHERE key = 'schema_version'"),
                        error);
}

}  // namespace

bool MigrateRegister(QSqlDatabase& db, RegisterDialect dialect, int fromVersion, QString& error) {
    if (fromVersion < 1 || fromVersion > 3) {
        error = QStringLiteral("the register's schema version %1 is unknown").arg(fromVersion);
        return false;
    }
    if (fromVersion == 1 && !MigrateToVersion2(db, dialect, error)) return false;
    if (fromVersion <= 2 && !MigrateToVersion3(db, dialect, error)) return false;
    return MigrateToVersion4(db, dialect, error);
}

}  // namespace station
