#include "station/register/RegisterRows.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/register/RegisterConnection.h"
#include "station/register/RegisterEvents.h"

namespace station {

namespace {

const QString kColumns = QStringLiteral(
    "id, format, facility, number, extra, chip, chip_id, locked, verified, reissue, state, time, "
    "station, operator, program_version, reason, replaces, replaced_by, holder");

// The valid card of a number before the others, then the newest first.
const QString kCardOrder =
    QStringLiteral("CASE WHEN state IN ('written', 'unverified') THEN 0 ELSE 1 END, id DESC");

// As NowExpression stores it.
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

}  // namespace

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
    entry.reason = query.value(15).toString();
    entry.replaces = query.value(16).toLongLong();
    entry.replacedBy = query.value(17).toLongLong();
    entry.holder = query.value(18).toLongLong();
    return entry;
}

QString CardColumns(const QString& alias) {
    QStringList columns = kColumns.split(QStringLiteral(", "));
    for (QString& column : columns) column.prepend(alias + QLatin1Char('.'));
    return columns.join(QStringLiteral(", "));
}

namespace {

bool SelectRows(QSqlQuery& query, std::vector<RegisterEntry>& entries, QString& error) {
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    while (query.next()) entries.push_back(EntryFrom(query));
    return true;
}

bool SelectFirst(QSqlQuery& query, std::optional<RegisterEntry>& found, QString& error) {
    found.reset();
    std::vector<RegisterEntry> entries;
    if (!SelectRows(query, entries, error)) return false;
    if (!entries.empty()) found = entries.front();
    return true;
}

void BindKey(QSqlQuery& query, const CardKey& key) {
    query.addBindValue(key.layout);
    query.addBindValue(static_cast<qlonglong>(key.value));
}

// Inserts a reserved row with query; a refusal of a unique index comes back in insertError.
// A failed query must outlive the rollback: PostgreSQL cannot free its prepared statement
// inside the aborted transaction.
bool InsertReserved(QSqlQuery& query, RegisterDialect dialect, const NewRow& row,
                    const Origin& origin, std::int64_t& rowId, QSqlError& insertError) {
    const CardRecord& card = row.card;
    query.prepare(QStringLiteral(
                      "INSERT INTO cards (format, facility, number, extra, chip, chip_id, locked, "
                      "verified, reissue, state, time, station, operator, program_version, "
                      "layout, card_key, reason, replaces, holder) VALUES (?, ?, ?, ?, ?, ?, ?, 0, "
                      "?, 'reserved', %1, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id")
                      .arg(NowExpression(dialect)));
    query.addBindValue(FormatText(card.format));
    query.addBindValue(FormatHasFacility(card.format) ? card.fields.facility : 0);
    query.addBindValue(static_cast<qlonglong>(card.fields.number));
    query.addBindValue(card.fields.fixed);
    query.addBindValue(ChipText(card.chipType));
    query.addBindValue(TextValue(card.uid));
    query.addBindValue(row.locked ? 1 : 0);
    query.addBindValue(row.replaces != 0 ? 1 : 0);
    query.addBindValue(TextValue(origin.station));
    query.addBindValue(TextValue(origin.operatorName));
    query.addBindValue(TextValue(row.programVersion));
    BindKey(query, CardKeyOf(card.format, card.fields));
    query.addBindValue(TextValue(row.reason));
    query.addBindValue(static_cast<qlonglong>(row.replaces));
    query.addBindValue(static_cast<qlonglong>(card.holder));
    if (!query.exec() || !query.next()) {
        insertError = query.lastError();
        return false;
    }
    rowId = query.value(0).toLongLong();
    // SQLite commits only when no statement is left running.
    query.finish();
    return true;
}

// How far the keys from a series' first key on were found held, remembered in
// next_free_marks per layout and first key (a station's series starts where its operator set
// it, so stations sharing a facility with their own ranges keep their own marks): a release
// is the only way such a key becomes free again, and releases are found through their own
// index (FirstFreedKey). Any other gap is searched for once.
bool ReadHeldMark(QSqlDatabase& db, const QString& layout, std::int64_t low,
                  std::optional<std::int64_t>& heldTo, QString& error) {
    heldTo.reset();
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("SELECT held_to FROM next_free_marks WHERE layout = ? AND first_key = ?"));
    query.addBindValue(layout);
    query.addBindValue(static_cast<qlonglong>(low));
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    if (query.next()) heldTo = query.value(0).toLongLong();
    return true;
}

bool WriteHeldMark(QSqlDatabase& db, const QString& layout, std::int64_t low, std::int64_t heldTo,
                   QString& error) {
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("INSERT INTO next_free_marks (layout, first_key, held_to) VALUES (?, ?, ?) "
                       "ON CONFLICT (layout, first_key) DO UPDATE SET held_to = excluded.held_to"));
    query.addBindValue(layout);
    query.addBindValue(static_cast<qlonglong>(low));
    query.addBindValue(static_cast<qlonglong>(heldTo));
    if (query.exec()) return true;
    error = DatabaseWords(query.lastError());
    return false;
}

bool FirstKey(QSqlQuery& query, std::optional<std::int64_t>& key, QString& error) {
    key.reset();
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    if (query.next() && !query.value(0).isNull()) key = query.value(0).toLongLong();
    return true;
}

// The smallest key from low to high that no row holds: low itself, or the end of the run of
// held keys from low on (walked once; the mark remembers where it ends).
bool FirstFreeKey(QSqlDatabase& db, const QString& layout, std::int64_t low, std::int64_t high,
                  std::optional<std::int64_t>& key, QString& error) {
    QSqlQuery lowest(db);
    lowest.prepare(QStringLiteral(
        "SELECT MIN(card_key) FROM cards WHERE layout = ? AND card_key >= ? AND card_key <= ?"));
    lowest.addBindValue(layout);
    lowest.addBindValue(static_cast<qlonglong>(low));
    lowest.addBindValue(static_cast<qlonglong>(high));
    std::optional<std::int64_t> held;
    if (!FirstKey(lowest, held, error)) return false;
    if (!held || *held > low) {
        key = low;
        return true;
    }
    QSqlQuery gap(db);
    gap.prepare(
        QStringLiteral("SELECT c.card_key + 1 FROM cards c WHERE c.layout = ? AND "
                       "c.card_key >= ? AND c.card_key <= ? AND NOT EXISTS "
                       "(SELECT 1 FROM cards d WHERE d.layout = c.layout AND "
                       "d.card_key = c.card_key + 1) ORDER BY c.card_key LIMIT 1"));
    gap.addBindValue(layout);
    gap.addBindValue(static_cast<qlonglong>(low));
    gap.addBindValue(static_cast<qlonglong>(high));
    if (!FirstKey(gap, key, error)) return false;
    if (key && *key > high) key.reset();
    return true;
}

// The smallest key from low to high that a release made free and no row holds again.
bool FirstFreedKey(QSqlDatabase& db, const QString& layout, std::int64_t low, std::int64_t high,
                   std::optional<std::int64_t>& key, QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT e.card_key FROM card_events e WHERE e.kind IN ('released', 'resolved') AND "
        "e.layout = ? AND e.card_key >= ? AND e.card_key <= ? AND NOT EXISTS "
        "(SELECT 1 FROM cards c WHERE c.layout = e.layout AND c.card_key = e.card_key) "
        "ORDER BY e.card_key LIMIT 1"));
    query.addBindValue(layout);
    query.addBindValue(static_cast<qlonglong>(low));
    query.addBindValue(static_cast<qlonglong>(high));
    return FirstKey(query, key, error);
}

}  // namespace

bool LookUpIssued(QSqlDatabase& db, const CardKey& key, std::optional<RegisterEntry>& found,
                  QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM cards WHERE layout = ? AND card_key = ? AND "
                                 "reissue = 0")
                      .arg(kColumns));
    BindKey(query, key);
    return SelectFirst(query, found, error);
}

bool SelectCard(QSqlDatabase& db, const CardKey& key, std::vector<RegisterEntry>& entries,
                QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM cards WHERE layout = ? AND card_key = ? "
                                 "ORDER BY %2")
                      .arg(kColumns, kCardOrder));
    BindKey(query, key);
    entries.clear();
    return SelectRows(query, entries, error);
}

bool LookUpRow(QSqlDatabase& db, std::int64_t rowId, std::optional<RegisterEntry>& found,
               QString& error) {
    QSqlQuery query(db);
    // SQLite's transactions hold the whole file already.
    const bool lock = DialectOf(db) == RegisterDialect::PostgreSQL;
    query.prepare(QStringLiteral("SELECT %1 FROM cards WHERE id = ?%2")
                      .arg(kColumns, lock ? QStringLiteral(" FOR UPDATE") : QString()));
    query.addBindValue(static_cast<qlonglong>(rowId));
    return SelectFirst(query, found, error);
}

bool LookUpValidByUid(QSqlDatabase& db, const QString& uid, std::optional<RegisterEntry>& found,
                      QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM cards WHERE chip_id = ? AND "
                                 "state IN ('written', 'unverified') ORDER BY id DESC LIMIT 1")
                      .arg(kColumns));
    query.addBindValue(uid);
    return SelectFirst(query, found, error);
}

bool FindFreeNumber(QSqlDatabase& db, int format, const CardFields& first, std::int64_t start,
                    std::int64_t limit, std::optional<std::int64_t>& free, QString& error) {
    free.reset();
    // Within a facility code the numbers are consecutive keys from the key of number 0.
    CardFields zero = first;
    zero.number = 0;
    const CardKey base = CardKeyOf(format, zero);
    const std::int64_t low = base.value + start;
    const std::int64_t high = base.value + limit;
    std::optional<std::int64_t> mark;
    if (!ReadHeldMark(db, base.layout, low, mark, error)) return false;
    // Up to the mark only a release frees a key; past it the search goes on from the mark,
    // so a series costs the same at any register size.
    const std::int64_t from = mark ? std::max(low, *mark + 1) : low;
    std::optional<std::int64_t> key;
    if (from <= high) {
        if (!FirstFreeKey(db, base.layout, from, high, key, error)) return false;
        const std::int64_t heldTo = key ? *key - 1 : high;
        if (!mark || heldTo > *mark) {
            if (!WriteHeldMark(db, base.layout, low, heldTo, error)) return false;
        }
    }
    if (mark && *mark >= low) {
        std::optional<std::int64_t> freed;
        if (!FirstFreedKey(db, base.layout, low, std::min(*mark, high), freed, error)) return false;
        if (freed && (!key || *freed < *key)) key = freed;
    }
    if (key) free = *key - base.value;
    return true;
}

Insertion InsertAndCommit(QSqlDatabase& db, const NewRow& row, const Origin& origin,
                          std::int64_t& rowId, QString& error) {
    {
        QSqlQuery insert(db);
        QSqlError insertError;
        if (!InsertReserved(insert, DialectOf(db), row, origin, rowId, insertError)) {
            RollbackTransaction(db);
            if (IsUniqueViolation(insertError)) return Insertion::Taken;
            error = DatabaseWords(insertError);
            return Insertion::Failed;
        }
    }
    const QString kind =
        row.replaces != 0 ? QStringLiteral("reissued") : QStringLiteral("reserved");
    const CardKey key = CardKeyOf(row.card.format, row.card.fields);
    // The link to a person names the holder's row only: personal data stays in "holders".
    const QString issuedTo = QStringLiteral("issued to");
    const QString holder = QStringLiteral("holder %1").arg(static_cast<long long>(row.card.holder));
    if (AppendEvent(db, {rowId, key, kind, row.reason, row.card.uid}, origin, error) &&
        (row.card.holder == 0 ||
         AppendEvent(db, {rowId, key, issuedTo, holder, QString()}, origin, error)) &&
        RunStatement(db, QStringLiteral("COMMIT"), error))
        return Insertion::Committed;
    RollbackTransaction(db);
    rowId = 0;
    return Insertion::Failed;
}

bool UpdateRow(QSqlDatabase& db, std::int64_t rowId, const StateChange& change, QString& error) {
    QStringList assignments = {QStringLiteral("state = ?")};
    QVariantList values = {StateText(change.state)};
    if (change.stamp) assignments << QStringLiteral("time = ") + NowExpression(DialectOf(db));
    if (change.verified) {
        assignments << QStringLiteral("verified = ?");
        values << (*change.verified ? 1 : 0);
    }
    if (!change.uid.isEmpty()) {
        assignments << QStringLiteral("chip_id = ?");
        values << change.uid;
    }
    if (change.reason) {
        assignments << QStringLiteral("reason = ?");
        values << TextValue(*change.reason);
    }
    if (change.replacedBy != 0) {
        assignments << QStringLiteral("replaced_by = ?");
        values << static_cast<qlonglong>(change.replacedBy);
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE cards SET %1 WHERE id = ?")
                      .arg(assignments.join(QStringLiteral(", "))));
    for (const QVariant& value : values) query.addBindValue(value);
    query.addBindValue(static_cast<qlonglong>(rowId));
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    return true;
}

bool DeleteRow(QSqlDatabase& db, std::int64_t rowId, QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM cards WHERE id = ?"));
    query.addBindValue(static_cast<qlonglong>(rowId));
    if (query.exec()) return true;
    error = DatabaseWords(query.lastError());
    return false;
}

namespace {

// The WHERE clause of a filter (empty for none) and its values.
QString FilterConditions(const RegisterFilter& filter, QVariantList& values) {
    QStringList conditions;
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
    if (filter.since.isValid()) {
        conditions << QStringLiteral("time >= ?");
        values << TimeText(filter.since);
    }
    if (filter.until.isValid()) {
        conditions << QStringLiteral("time < ?");
        values << TimeText(filter.until);
    }
    if (filter.after) {
        conditions << QStringLiteral("(time, id) < (?, ?)");
        values << TimeText(filter.after->time) << static_cast<qlonglong>(filter.after->id);
    }
    if (conditions.isEmpty()) return QString();
    return QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

}  // namespace

bool CountEntries(QSqlDatabase& db, const RegisterFilter& filter, std::int64_t& count,
                  QString& error) {
    QVariantList values;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM cards") + FilterConditions(filter, values));
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec() || !query.next()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    count = query.value(0).toLongLong();
    return true;
}

bool SelectEntries(QSqlDatabase& db, const RegisterFilter& filter,
                   std::vector<RegisterEntry>& entries, QString& error) {
    QVariantList values;
    QString statement =
        QStringLiteral("SELECT %1 FROM cards").arg(kColumns) + FilterConditions(filter, values);
    // Read backwards along the (time, id) index: a page never sorts the table.
    statement += QStringLiteral(" ORDER BY time DESC, id DESC");
    if (filter.limit > 0) {
        statement += QStringLiteral(" LIMIT ?");
        values << filter.limit;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(statement);
    for (const QVariant& value : values) query.addBindValue(value);
    return SelectRows(query, entries, error);
}

}  // namespace station
