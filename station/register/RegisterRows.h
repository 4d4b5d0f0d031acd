// The card register's statements on its "cards" table, the same on SQLite and PostgreSQL:
// looking a card up, finding the next free number, reserving, changing a card's state and
// listing rows. CCardRegister decides around them when to connect again and when to retry.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "station/register/CardKey.h"
#include "station/register/CardRegister.h"
#include "station/register/RegisterSchema.h"

namespace station {

// The card the query stands on, its columns those of CardColumns from the first on.
RegisterEntry EntryFrom(const QSqlQuery& query);
// The columns EntryFrom reads, each prefixed with the table's alias ("c.id, c.format, ...").
QString CardColumns(const QString& alias);

// The issued (not re-issued) card with the key, if any.
bool LookUpIssued(QSqlDatabase& db, const CardKey& key, std::optional<RegisterEntry>& found,
                  QString& error);

// Every row of the card with the key: the valid one (written or unverified) first, then the
// others newest first.
bool SelectCard(QSqlDatabase& db, const CardKey& key, std::vector<RegisterEntry>& entries,
                QString& error);

// The row with the id, if any; on PostgreSQL locked until the transaction ends, so that two
// stations changing one card take turns.
bool LookUpRow(QSqlDatabase& db, std::int64_t rowId, std::optional<RegisterEntry>& found,
               QString& error);

// The newest valid card whose chip identification is uid, if any.
bool LookUpValidByUid(QSqlDatabase& db, const QString& uid, std::optional<RegisterEntry>& found,
                      QString& error);

// The smallest number from start to limit whose key (first's key with that number) the
// register holds in no state, if any. Remembers in the transaction how far the numbers from
// start on are held, so that the next search starts there and finds a released number
// through an index: its cost does not grow with the register.
bool FindFreeNumber(QSqlDatabase& db, int format, const CardFields& first, std::int64_t start,
                    std::int64_t limit, std::optional<std::int64_t>& free, QString& error);

// Who changes the register: the station's host and login names, and the request the change
// belongs to (NewRequestId, stored with its events; empty: none).
struct Origin {
    const QString& station;
    const QString& operatorName;
    QString request = {};
};

// A reserved row's values besides the time.
struct NewRow {
    const CardRecord& card;
    bool locked;
    std::int64_t replaces;  // a re-issue's earlier row, 0 for an issue
    const QString& reason;  // a re-issue's reason
    const QString& programVersion;
};

enum class Insertion { Committed, Taken, Failed };

// Inserts the reserved row with its first event ("reserved" or "reissued") and commits the
// transaction; Taken when a unique index refused the row (another station holds the number
// or re-issued the card), the transaction then rolled back.
Insertion InsertAndCommit(QSqlDatabase& db, const NewRow& row, const Origin& origin,
                          std::int64_t& rowId, QString& error);

// A row's new state and what comes with it; empty members stay as they are.
struct StateChange {
    explicit StateChange(RegisterEntry::State newState) : state(newState) {}
    // A write's outcome (written or unverified) now, with the chip identification when known.
    static StateChange Outcome(RegisterEntry::State newState, bool verified, const QString& uid) {
        StateChange change(newState);
        change.stamp = true;
        change.verified = verified;
        change.uid = uid;
        return change;
    }

    RegisterEntry::State state;
    bool stamp = false;  // the time becomes now (the card was written)
    std::optional<bool> verified;
    QString uid;
    std::optional<QString> reason;
    std::int64_t replacedBy = 0;
};

bool UpdateRow(QSqlDatabase& db, std::int64_t rowId, const StateChange& change, QString& error);

bool DeleteRow(QSqlDatabase& db, std::int64_t rowId, QString& error);

// How many rows pass the filter's conditions (its limit aside).
bool CountEntries(QSqlDatabase& db, const RegisterFilter& filter, std::int64_t& count,
                  QString& error);

// The rows that pass the filter, newest first.
bool SelectEntries(QSqlDatabase& db, const RegisterFilter& filter,
                   std::vector<RegisterEntry>& entries, QString& error);

}  // namespace station
