// The card register's history: "card_events" rows, appended with the change they record and
// never updated or deleted.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <cstdint>
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

// Appends the event with the database's current time, inside the caller's transaction.
bool AppendEvent(QSqlDatabase& db, const NewEvent& event, const Origin& origin, QString& error);

// The events of a card (every row of its key) or of one row, oldest first.
bool SelectEvents(QSqlDatabase& db, const CardKey& key, std::vector<RegisterEvent>& events,
                  QString& error);
bool SelectEvents(QSqlDatabase& db, std::int64_t rowId, std::vector<RegisterEvent>& events,
                  QString& error);

}  // namespace station
