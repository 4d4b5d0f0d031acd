#include "station/register/RegisterMigration.h"

#include <QSqlQuery>
#include <QVariant>
#include <vector>

#include "station/CardFormatTable.h"
#include "station/register/CardKey.h"

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
// a written one marks a valid predecessor replaced, as a confirmed re-issue does.
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
    for (std::size_t i = 1; i < rows.size(); ++i) {
        Row& before = rows[i - 1];
        const Row& row = rows[i];
        if (row.layout != before.layout || row.key != before.key) continue;
        link.addBindValue(before.id);
        link.addBindValue(
            QStringLiteral("the card of row %1 under another format name").arg(before.id));
        link.addBindValue(row.id);
        if (!Run(link, error)) return false;
        if (Valid(row.state) && Valid(before.state)) {
            replace.addBindValue(row.id);
            replace.addBindValue(before.id);
            if (!Run(replace, error)) return false;
            before.state = QStringLiteral("replaced");
        }
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

}  // namespace

bool MigrateRegister(QSqlDatabase& db, RegisterDialect dialect, int fromVersion, QString& error) {
    if (fromVersion < 1 || fromVersion > 2) {
        error = QStringLiteral("the register's schema version %1 is unknown").arg(fromVersion);
        return false;
    }
    if (fromVersion == 1 && !MigrateToVersion2(db, dialect, error)) return false;
    return MigrateToVersion3(db, dialect, error);
}

}  // namespace station
