#include "station/register/RegisterEvents.h"

#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace station {

namespace {

const QString kEventColumns =
    QStringLiteral("id, card_id, kind, time, station, operator, reason, chip_id");

bool Select(QSqlQuery& query, std::vector<RegisterEvent>& events, QString& error) {
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    events.clear();
    while (query.next()) {
        RegisterEvent event;
        event.id = query.value(0).toLongLong();
        event.cardId = query.value(1).toLongLong();
        event.kind = query.value(2).toString();
        event.time = QDateTime::fromString(query.value(3).toString(), Qt::ISODateWithMs).toUTC();
        event.station = query.value(4).toString();
        event.operatorName = query.value(5).toString();
        event.reason = query.value(6).toString();
        event.uid = query.value(7).toString();
        events.push_back(event);
    }
    return true;
}

}  // namespace

bool AppendEvent(QSqlDatabase& db, const NewEvent& event, const Origin& origin, QString& error) {
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("INSERT INTO card_events (card_id, layout, card_key, kind, "
                       "station, operator, reason, chip_id, request) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(static_cast<qlonglong>(event.cardId));
    query.addBindValue(event.key.layout);
    query.addBindValue(static_cast<qlonglong>(event.key.value));
    query.addBindValue(event.kind);
    query.addBindValue(TextValue(origin.station));
    query.addBindValue(TextValue(origin.operatorName));
    query.addBindValue(TextValue(event.reason));
    query.addBindValue(TextValue(event.uid));
    query.addBindValue(TextValue(origin.request));
    if (query.exec()) return true;
    error = DatabaseWords(query.lastError());
    return false;
}

QString NewRequestId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool FindRequest(QSqlDatabase& db, const QString& request, std::optional<std::int64_t>& cardId,
                 QString& error) {
    cardId.reset();
    if (request.isEmpty()) return true;
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("SELECT card_id FROM card_events WHERE request = ? ORDER BY id LIMIT 1"));
    query.addBindValue(request);
    if (!query.exec()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    if (query.next()) cardId = query.value(0).toLongLong();
    return true;
}

bool SelectEvents(QSqlDatabase& db, const CardKey& key, std::vector<RegisterEvent>& events,
                  QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM card_events WHERE layout = ? AND card_key = ? "
                                 "ORDER BY id")
                      .arg(kEventColumns));
    query.addBindValue(key.layout);
    query.addBindValue(static_cast<qlonglong>(key.value));
    return Select(query, events, error);
}

bool SelectEvents(QSqlDatabase& db, std::int64_t rowId, std::vector<RegisterEvent>& events,
                  QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM card_events WHERE card_id = ? ORDER BY id")
                      .arg(kEventColumns));
    query.addBindValue(static_cast<qlonglong>(rowId));
    return Select(query, events, error);
}

}  // namespace station
