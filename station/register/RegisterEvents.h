// The card register's history: "card_events" rows, appended with the change they record and
// never updated or deleted.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "station/register/CardKey.h"
#include "station/register/CardRegister.h"
#include "station/register/RegisterRows.h"

namespace station {

struct NewEvent {
    std::int64_t cardId;
    const CardKey& key;
    const QString& kind;
    const QString& reason;
    const QString& uid;
};

// Appends the event with the database's current time (the column's default: on PostgreSQL
// a station's role may not set it) and origin's request, inside the caller's transaction.
bool AppendEvent(QSqlDatabase& db, const NewEvent& event, const Origin& origin, QString& error);

// A new request id: one per change the program makes, the same in each attempt of it.
QString NewRequestId();
// The row of the first event stored with request, if any: a change whose COMMIT reply was
// lost finds here that it committed (and the row it made). False with error.
bool FindRequest(QSqlDatabase& db, const QString& request, std::optional<std::int64_t>& cardId,
                 QString& error);

// The events of a card (every row of its key) or of one row, oldest first.
bool SelectEvents(QSqlDatabase& db, const CardKey& key, std::vector<RegisterEvent>& events,
                  QString& error);
bool SelectEvents(QSqlDatabase& db, std::int64_t rowId, std::vector<RegisterEvent>& events,
                  QString& error);

}  // namespace station
