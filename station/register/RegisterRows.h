// The card register's statements on its "cards" table, the same on SQLite and PostgreSQL:
// looking a number up, finding the next free one, reserving, confirming, releasing and listing
// rows. CCardRegister decides around them when to connect again and when to retry.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "station/register/CardRegister.h"
#include "station/register/RegisterSchema.h"

namespace station {

// The facility code the unique index holds: 0 for formats without one.
int IndexedFacility(int format, const CardFields& fields);

// The issued (not re-issued) card with the number, if any.
bool LookUpIssued(QSqlDatabase& db, int format, const CardFields& fields,
                  std::optional<RegisterEntry>& found, QString& error);

// The smallest number from start to limit without an issued card, if any.
bool FindFreeNumber(QSqlDatabase& db, int format, int facility, std::int64_t start,
                    std::int64_t limit, std::optional<std::int64_t>& free, QString& error);

// A reserved row's values besides the time.
struct NewRow {
    const CardRecord& card;
    bool locked;
    bool reissue;
    const QString& station;
    const QString& operatorName;
    const QString& programVersion;
};

enum class Insertion { Committed, Taken, Failed };

// Inserts the reserved row and commits the transaction; Taken when the unique index refused
// the number (another station holds it), the transaction then rolled back.
Insertion InsertAndCommit(QSqlDatabase& db, const NewRow& row, std::int64_t& rowId, QString& error);

// The row takes state (written or unverified), with the write's time, and the chip
// identification when given; false when the row is gone.
bool ConfirmRow(QSqlDatabase& db, std::int64_t rowId, RegisterEntry::State state,
                const QString& uid, QString& error, bool verified = false);

// Deletes the row if it is still a reservation.
bool DeleteReservation(QSqlDatabase& db, std::int64_t rowId, QString& error);

// The rows that pass the filter, newest first.
bool SelectEntries(QSqlDatabase& db, const RegisterFilter& filter,
                   std::vector<RegisterEntry>& entries, QString& error);

}  // namespace station
