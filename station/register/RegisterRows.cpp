#include "station/register/RegisterRows.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/register/RegisterConnection.h"

namespace station {

namespace {

const QString kColumns = QStringLiteral(
    "id, format, facility, number, extra, chip, chip_id, locked, verified, reissue, state, time, "
    "station, operator, program_version");

QString TimeText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString FormatText(int format) {
    return IsCardFormat(format) ? QString::fromLatin1(kCardFormats[format].commandName)
                                : QString::number(format);
}

QString ChipText(int chipType) {
    const QString name = QString::fromLatin1(ChipCommandName(chipType));
    return name.isEmpty() ? QString::number(chipType) : name;
}

int ChipFromText(const QString& text) {
    const int code = ChipOfCommandName(text.toStdString());
    return code >= 0 ? code : text.toInt();
}

RegisterEntry EntryFrom(const QSqlQuery& query) {
    RegisterEntry entry;
    entry.id = query.value(0).toLongLong();
    entry.formatText = query.value(1).toString();
    entry.format = FormatOfCommandName(entry.formatText.toStdString());
    entry.fields.facility = query.value(2).toInt();
    entry.fields.number = query.value(3).toLongLong();
    entry.fields.fixed = query.value(4).toInt();
    entry.chipText = query.value(5).toString();
    entry.chipType = ChipFromText(entry.chipText);
    entry.uid = query.value(6).toString();
    entry.locked = query.value(7).toInt() != 0;
    entry.verified = query.value(8).toInt() != 0;
    entry.reissue = query.value(9).toInt() != 0;
    entry.state = StateFromText(query.value(10).toString());
    entry.time = QDateTime::fromString(query.value(11).toString(), Qt::ISODateWithMs).toUTC();
    entry.station = query.value(12).toString();
    entry.operatorName = query.value(13).toString();
    entry.programVersion = query.value(14).toString();
    return entry;
}

// Qt binds a null text as NULL; the register keeps "no chip identification" as empty text.
QVariant Text(const QString& text) {
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

// Inserts a reserved row with query; a refusal of the unique index comes back in
// insertError. A failed query must outlive the rollback: PostgreSQL cannot free its prepared
// statement inside the aborted transaction.
bool InsertReserved(QSqlQuery& query, const NewRow& row, std::int64_t& rowId,
                    QSqlError& insertError) {
    query.prepare(QStringLiteral(
        "INSERT INTO cards (format, facility, number, extra, chip, chip_id, locked, verified, "
        "reissue, state, time, station, operator, program_version) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?, 'reserved', ?, ?, ?, ?) RETURNING id"));
    query.addBindValue(FormatText(row.card.format));
    query.addBindValue(IndexedFacility(row.card.format, row.card.fields));
    query.addBindValue(static_cast<qlonglong>(row.card.fields.number));
    query.addBindValue(row.card.fields.fixed);
    query.addBindValue(ChipText(row.card.chipType));
    query.addBindValue(Text(row.card.uid));
    query.addBindValue(row.locked ? 1 : 0);
    query.addBindValue(row.reissue ? 1 : 0);
    query.addBindValue(TimeText(QDateTime::currentDateTimeUtc()));
    query.addBindValue(Text(row.station));
    query.addBindValue(Text(row.operatorName));
    query.addBindValue(Text(row.programVersion));
    if (!query.exec() || !query.next()) {
        insertError = query.lastError();
        return false;
    }
    rowId = query.value(0).toLongLong();
    // SQLite commits only when no statement is left running.
    query.finish();
    return true;
}

}  // namespace

int IndexedFacility(int format, const CardFields& fields) {
    return FormatHasFacility(format) ? fields.facility : 0;
}

bool LookUpIssued(QSqlDatabase& db, int format, const CardFields& fields,
                  std::optional<RegisterEntry>& found, QString& error) {
    found.reset();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM cards WHERE format = ? AND facility = ? AND "
                                 "number = ? AND reissue = 0")
                      .arg(kColumns));
    query.addBindValue(FormatText(format));
    query.addBindValue(IndexedFacility(format, fields));
    query.addBindValue(static_cast<qlonglong>(fields.number));
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    if (query.next()) found = EntryFrom(query);
    return true;
}

bool FindFreeNumber(QSqlDatabase& db, int format, int facility, std::int64_t start,
                    std::int64_t limit, std::optional<std::int64_t>& free, QString& error) {
    free.reset();
    // The issued numbers of the range; table names the table where a query has two.
    auto where = [](const QString& table) {
        return QStringLiteral(
                   "%1format = ? AND %1facility = ? AND %1reissue = 0 AND "
                   "%1number >= ? AND %1number <= ?")
            .arg(table);
    };
    auto bind = [&](QSqlQuery& query) {
        query.addBindValue(FormatText(format));
        query.addBindValue(facility);
        query.addBindValue(static_cast<qlonglong>(start));
        query.addBindValue(static_cast<qlonglong>(limit));
    };
    // The common case, numbers issued without gaps from start on, costs one index scan.
    QSqlQuery span(db);
    span.prepare(QStringLiteral("SELECT COUNT(*), MAX(number), MIN(number) FROM cards WHERE %1")
                     .arg(where(QString())));
    bind(span);
    if (!span.exec() || !span.next()) {
        error = DatabaseWords(span.lastError());
        return false;
    }
    const std::int64_t count = span.value(0).toLongLong();
    const std::int64_t highest = span.value(1).toLongLong();
    const std::int64_t lowest = span.value(2).toLongLong();
    if (count == 0 || lowest > start) {
        free = start;
        return true;
    }
    if (highest - start + 1 == count) {
        if (highest < limit) free = highest + 1;
        return true;
    }
    // A gap lies between start and the highest number: the first number after an issued one
    // that is itself free.
    QSqlQuery gap(db);
    gap.prepare(QStringLiteral("SELECT c.number + 1 FROM cards c WHERE %1 AND NOT EXISTS "
                               "(SELECT 1 FROM cards d WHERE d.format = c.format AND "
                               "d.facility = c.facility AND d.reissue = 0 AND "
                               "d.number = c.number + 1) ORDER BY c.number LIMIT 1")
                    .arg(where(QStringLiteral("c."))));
    bind(gap);
    if (!gap.exec()) {
        error = DatabaseWords(gap.lastError());
        return false;
    }
    if (gap.next()) {
        const std::int64_t number = gap.value(0).toLongLong();
        if (number <= limit) free = number;
    }
    return true;
}

bool ConfirmRow(QSqlDatabase& db, std::int64_t rowId, RegisterEntry::State state,
                const QString& uid, QString& error, bool verified) {
    QSqlQuery query(db);
    const bool withUid = !uid.isEmpty();
    query.prepare(QStringLiteral("UPDATE cards SET state = ?, time = ?, verified = ?%1 "
                                 "WHERE id = ?")
                      .arg(withUid ? QStringLiteral(", chip_id = ?") : QString()));
    query.addBindValue(StateText(state));
    query.addBindValue(TimeText(QDateTime::currentDateTimeUtc()));
    query.addBindValue(verified ? 1 : 0);
    if (withUid) query.addBindValue(uid);
    query.addBindValue(static_cast<qlonglong>(rowId));
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    if (query.numRowsAffected() != 1) {
        error = QStringLiteral("its reservation %1 is no longer there").arg(rowId);
        return false;
    }
    return true;
}

bool DeleteReservation(QSqlDatabase& db, std::int64_t rowId, QString& error) {
    QSqlQuery query(db);
    // Only a reservation goes; a written card stays whatever a caller asks.
    query.prepare(QStringLiteral("DELETE FROM cards WHERE id = ? AND state = 'reserved'"));
    query.addBindValue(static_cast<qlonglong>(rowId));
    if (query.exec()) return true;
    error = DatabaseWords(query.lastError());
    return false;
}

bool SelectEntries(QSqlDatabase& db, const RegisterFilter& filter,
                   std::vector<RegisterEntry>& entries, QString& error) {
    QStringList conditions;
    QVariantList values;
    if (filter.number) {
        conditions << QStringLiteral("number = ?");
        values << static_cast<qlonglong>(*filter.number);
    }
    if (!filter.uid.isEmpty()) {
        QString pattern = filter.uid.toLower();
        pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('%'), QLatin1String("\\%"))
            .replace(QLatin1Char('_'), QLatin1String("\\_"));
        conditions << QStringLiteral("LOWER(chip_id) LIKE ? ESCAPE '\\'");
        values << QStringLiteral("%") + pattern + QStringLiteral("%");
    }
    // Times are ISO text in UTC, so a day's rows lie between its date and the next one's.
    if (filter.from.isValid()) {
        conditions << QStringLiteral("time >= ?");
        values << filter.from.toString(Qt::ISODate);
    }
    if (filter.to.isValid()) {
        conditions << QStringLiteral("time < ?");
        values << filter.to.addDays(1).toString(Qt::ISODate);
    }
    QString statement = QStringLiteral("SELECT %1 FROM cards").arg(kColumns);
    if (!conditions.isEmpty()) {
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    }
    statement += QStringLiteral(" ORDER BY time DESC, id DESC");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(statement);
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    while (query.next()) entries.push_back(EntryFrom(query));
    return true;
}

Insertion InsertAndCommit(QSqlDatabase& db, const NewRow& row, std::int64_t& rowId,
                          QString& error) {
    {
        QSqlQuery insert(db);
        QSqlError insertError;
        if (!InsertReserved(insert, row, rowId, insertError)) {
            RollbackTransaction(db);
            if (IsUniqueViolation(insertError)) return Insertion::Taken;
            error = DatabaseWords(insertError);
            return Insertion::Failed;
        }
    }
    if (RunStatement(db, QStringLiteral("COMMIT"), error)) return Insertion::Committed;
    RollbackTransaction(db);
    rowId = 0;
    return Insertion::Failed;
}

}  // namespace station
