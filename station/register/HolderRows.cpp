#include "station/register/HolderRows.h"

#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include "station/register/RegisterSchema.h"

namespace station {

namespace {

const QString kHolderColumns =
    QStringLiteral("h.id, h.personnel_number, h.name, h.department, h.notes, h.left_since");
constexpr int kHolderColumnCount = 6;

// The states in which a card stands for its holder: the chip may carry it or is being written.
const QString kHeldStates = QStringLiteral("('reserved', 'written', 'unverified')");

QString TimeText(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

Holder HolderFrom(const QSqlQuery& query, int first) {
    Holder holder;
    holder.id = query.value(first).toLongLong();
    holder.personnelNumber = query.value(first + 1).toString();
    holder.name = query.value(first + 2).toString();
    holder.department = query.value(first + 3).toString();
    holder.notes = query.value(first + 4).toString();
    const QString left = query.value(first + 5).toString();
    if (!left.isEmpty()) holder.leftSince = QDateTime::fromString(left, Qt::ISODateWithMs).toUTC();
    return holder;
}

QString LikePattern(const QString& text) {
    QString pattern = text.toLower();
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + pattern + QLatin1Char('%');
}

void BindHolder(QSqlQuery& query, const Holder& holder, const Origin& origin) {
    query.addBindValue(holder.personnelNumber);
    query.addBindValue(TextValue(holder.name));
    query.addBindValue(TextValue(holder.department));
    query.addBindValue(TextValue(holder.notes));
    query.addBindValue(TextValue(TimeText(holder.leftSince)));
    query.addBindValue(TextValue(origin.station));
    query.addBindValue(TextValue(origin.operatorName));
}

// Every valid card of the holders that pass conditions, in one statement, to the listed
// holders (newest first; the newest is validCard already).
bool AddEveryValidCard(QSqlDatabase& db, const QString& conditions, const QVariantList& values,
                       std::vector<Holder>& holders, QString& error) {
    QString statement = QStringLiteral("SELECT %1 FROM cards c JOIN holders h ON h.id = c.holder "
                                       "WHERE c.state IN ('written', 'unverified')")
                            .arg(CardColumns(QStringLiteral("c")));
    if (!conditions.isEmpty()) statement += QStringLiteral(" AND ") + conditions;
    statement += QStringLiteral(" ORDER BY c.id DESC");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(statement);
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    QHash<std::int64_t, Holder*> listed;
    for (Holder& holder : holders) listed.insert(holder.id, &holder);
    while (query.next()) {
        RegisterEntry card = EntryFrom(query);
        if (Holder* holder = listed.value(card.holder)) holder->validCards.push_back(std::move(card));
    }
    return true;
}

}  // namespace

QString HolderConditions(const HolderFilter& filter, QVariantList& values) {
    QStringList conditions;
    // A part of the name or number: a scan of the holders table, quick for the few thousand
    // people of a site. A million holders would need a trigram index (pg_trgm) on PostgreSQL
    // and a full-text table on SQLite; exact numbers go through the unique index. SQLite's
    // LOWER folds ASCII letters only.
    if (!filter.text.isEmpty()) {
        conditions << QStringLiteral(
            "(LOWER(h.name) LIKE ? ESCAPE '\\' OR LOWER(h.personnel_number) LIKE ? ESCAPE '\\')");
        values << LikePattern(filter.text) << LikePattern(filter.text);
    }
    if (!filter.department.isEmpty()) {
        conditions << QStringLiteral("h.department = ?");
        values << filter.department;
    }
    if (filter.withoutValidCard) {
        conditions << QStringLiteral(
                          "NOT EXISTS (SELECT 1 FROM cards w WHERE w.holder = h.id AND "
                          "w.state IN %1)")
                          .arg(kHeldStates);
    }
    if (!filter.includeLeft) conditions << QStringLiteral("h.left_since = ''");
    return conditions.join(QStringLiteral(" AND "));
}

bool SelectHolders(QSqlDatabase& db, const QString& conditions, const QVariantList& values,
                   int limit, std::vector<Holder>& holders, QString& error, bool everyValidCard) {
    // The card columns come first, as EntryFrom reads them; a holder's newest valid card.
    QString statement = QStringLiteral(
                            "SELECT %1, %2 FROM holders h LEFT JOIN cards c ON c.id = "
                            "(SELECT MAX(v.id) FROM cards v WHERE v.holder = h.id AND "
                            "v.state IN ('written', 'unverified'))")
                            .arg(CardColumns(QStringLiteral("c")), kHolderColumns);
    if (!conditions.isEmpty()) statement += QStringLiteral(" WHERE ") + conditions;
    statement += QStringLiteral(" ORDER BY h.id");
    QVariantList bound = values;
    if (limit > 0) {
        statement += QStringLiteral(" LIMIT ?");
        bound << limit;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(statement);
    for (const QVariant& value : bound) query.addBindValue(value);
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    holders.clear();
    const int first = query.record().count() - kHolderColumnCount;
    while (query.next()) {
        Holder holder = HolderFrom(query, first);
        if (!query.value(0).isNull()) {
            holder.validCard = EntryFrom(query);
            if (!everyValidCard) holder.validCards.push_back(*holder.validCard);
        }
        holders.push_back(std::move(holder));
    }
    query.finish();
    return !everyValidCard || AddEveryValidCard(db, conditions, values, holders, error);
}

bool SelectAllHolders(QSqlDatabase& db, std::vector<Holder>& holders, QString& error) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM holders h ORDER BY h.id").arg(kHolderColumns))) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    holders.clear();
    while (query.next()) holders.push_back(HolderFrom(query, 0));
    return true;
}

bool InsertHolder(QSqlDatabase& db, Holder& holder, const Origin& origin, QSqlError& refusal) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO holders (personnel_number, name, department, notes, "
                                 "left_since, station, operator, changed) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, %1) RETURNING id")
                      .arg(NowExpression(DialectOf(db))));
    BindHolder(query, holder, origin);
    if (!query.exec() || !query.next()) {
        refusal = query.lastError();
        return false;
    }
    holder.id = query.value(0).toLongLong();
    query.finish();
    return true;
}

bool UpdateHolder(QSqlDatabase& db, const Holder& holder, const Origin& origin, bool& found,
                  QSqlError& refusal) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE holders SET personnel_number = ?, name = ?, "
                                 "department = ?, notes = ?, left_since = ?, station = ?, "
                                 "operator = ?, changed = %1 WHERE id = ?")
                      .arg(NowExpression(DialectOf(db))));
    BindHolder(query, holder, origin);
    query.addBindValue(static_cast<qlonglong>(holder.id));
    if (!query.exec()) {
        refusal = query.lastError();
        return false;
    }
    found = query.numRowsAffected() > 0;
    return true;
}

bool SelectValidCards(QSqlDatabase& db, std::int64_t holderId, std::vector<RegisterEntry>& cards,
                      QString& error) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM cards c WHERE c.holder = ? AND c.state IN "
                                 "('written', 'unverified') ORDER BY c.id DESC")
                      .arg(CardColumns(QStringLiteral("c"))));
    query.addBindValue(static_cast<qlonglong>(holderId));
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    cards.clear();
    while (query.next()) cards.push_back(EntryFrom(query));
    return true;
}

bool ClaimHolder(QSqlDatabase& db, std::int64_t holderId, bool& hasCard, QString& error) {
    hasCard = false;
    QSqlQuery holder(db);
    // SQLite's transaction holds the whole file already.
    const bool lock = DialectOf(db) == RegisterDialect::PostgreSQL;
    holder.prepare(QStringLiteral("SELECT id, left_since FROM holders WHERE id = ?%1")
                       .arg(lock ? QStringLiteral(" FOR UPDATE") : QString()));
    holder.addBindValue(static_cast<qlonglong>(holderId));
    if (!holder.exec()) {
        error = DatabaseWords(holder.lastError());
        return false;
    }
    if (!holder.next()) {
        error = QStringLiteral("holder row %1 is not in the register").arg(holderId);
        return false;
    }
    // A holder who left is issued nothing, whichever station or path asks (the row id only:
    // these words may reach a status line).
    if (const QString left = holder.value(1).toString(); !left.isEmpty()) {
        error = QStringLiteral("holder row %1 has left (since %2); no card is issued")
                    .arg(holderId)
                    .arg(QDateTime::fromString(left, Qt::ISODateWithMs).toUTC().toString(
                        Qt::ISODate));
        return false;
    }
    QSqlQuery cards(db);
    cards.prepare(QStringLiteral("SELECT 1 FROM cards WHERE holder = ? AND state IN %1 LIMIT 1")
                      .arg(kHeldStates));
    cards.addBindValue(static_cast<qlonglong>(holderId));
    if (!cards.exec()) {
        error = DatabaseWords(cards.lastError());
        return false;
    }
    hasCard = cards.next();
    return true;
}

}  // namespace station
