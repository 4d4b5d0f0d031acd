#include "RegisterFill.h"

#include <QSqlError>
#include <QSqlQuery>

#include "station/CardFormatTable.h"
#include "station/register/CardKey.h"
#include "station/register/RegisterRules.h"

namespace registerfill {

namespace {

bool Run(QSqlDatabase& db, const QString& statement, std::int64_t rows, std::int64_t gap,
         QString& error) {
    QSqlQuery query(db);
    query.prepare(statement);
    if (statement.contains(QLatin1Char('?'))) {
        query.addBindValue(static_cast<qlonglong>(rows));
        query.addBindValue(static_cast<qlonglong>(gap));
    }
    if (query.exec()) return true;
    error = query.lastError().text();
    return false;
}

}  // namespace

QSqlDatabase PlainConnection(const station::RegisterSettings& settings, const QString& name) {
    const bool sqlite = settings.kind == station::RegisterSettings::Kind::SQLite;
    QSqlDatabase db = QSqlDatabase::addDatabase(
        sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
    if (sqlite) {
        db.setDatabaseName(settings.file);
    } else {
        db.setHostName(settings.host);
        db.setPort(settings.port);
        db.setDatabaseName(settings.database);
        db.setUserName(settings.user);
    }
    db.open();
    return db;
}

bool FillRegister(QSqlDatabase& db, std::int64_t rows, std::int64_t gap, QString& error) {
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    const station::CardKey base =
        station::CardKeyOf(kFillFormat, station::CardFields{kFillFacility, 0, 0});
    const QString format = QString::fromLatin1(station::kCardFormats[kFillFormat].commandName);
    // Numbers 1..rows from a generator, times one second apart from 2020 on.
    const QString numbers =
        sqlite ? QStringLiteral(
                     "(WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s "
                     "WHERE i < ?) SELECT i FROM s) n")
               : QStringLiteral("generate_series(1, ?) AS n(i)");
    const QString time =
        sqlite ? QStringLiteral("strftime('%Y-%m-%dT%H:%M:%fZ', 1577836800 + n.i, 'unixepoch')")
               : QStringLiteral(
                     "to_char(to_timestamp(1577836800 + n.i) AT TIME ZONE 'UTC', "
                     "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')");
    const QString cards =
        QStringLiteral(
            "INSERT INTO cards (format, facility, number, chip, chip_id, verified, state, time, "
            "station, operator, program_version, layout, card_key) SELECT '%1', %2, n.i, "
            "'ata5577', 'E0' || (1000000000 + n.i), 1, 'written', %3, 'fill', 'fill', 'fill', "
            "'%4', %5 + n.i FROM %6 WHERE n.i <> ?")
            .arg(format)
            .arg(kFillFacility)
            .arg(time, base.layout)
            .arg(base.value)
            .arg(numbers);
    const QString events = QStringLiteral(
        "INSERT INTO card_events (card_id, layout, card_key, kind, time, station, operator) "
        "SELECT id, layout, card_key, 'written', time, station, operator FROM cards WHERE "
        "station = 'fill'");
    const QString released =
        QStringLiteral(
            "INSERT INTO card_events (card_id, layout, card_key, kind, time, station) "
            "VALUES (0, '%1', %2, 'released', '2019-12-31T00:00:00.000Z', 'fill')")
            .arg(base.layout)
            .arg(base.value + gap);
    if (!db.transaction()) {
        error = db.lastError().text();
        return false;
    }
    bool ok = Run(db, cards, rows, gap, error) && Run(db, events, 0, 0, error) &&
              (gap == 0 || Run(db, released, 0, 0, error));
    if (ok && !db.commit()) {
        error = db.lastError().text();
        ok = false;
    }
    if (!ok) db.rollback();
    return ok;
}

bool RunBehindTheRules(QSqlDatabase& db, const QStringList& statements, QString& error) {
    const station::RegisterDialect dialect = station::DialectOf(db);
    const bool sqlite = dialect == station::RegisterDialect::SQLite;
    QStringList all;
    for (const char* trigger :
         {"cards_rules", "cards_kept", "card_events_rules", "card_events_kept"}) {
        const QString table = QString::fromLatin1(trigger).startsWith(QLatin1String("cards_"))
                                  ? QStringLiteral("cards")
                                  : QStringLiteral("card_events");
        all << (sqlite ? QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(trigger))
                       : QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2")
                             .arg(QLatin1String(trigger), table));
    }
    all += statements;
    all += station::RuleStatements(dialect);
    for (const QString& statement : all) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            error = query.lastError().text();
            return false;
        }
    }
    return true;
}

}  // namespace registerfill
