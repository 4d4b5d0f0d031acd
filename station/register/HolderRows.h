// The register's statements on its "holders" table and on the cards' link to them, the same
// on SQLite and PostgreSQL. CCardRegister runs them inside its connection and transactions.
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>
#include <cstdint>
#include <vector>

#include "station/register/Holders.h"
#include "station/register/RegisterRows.h"

namespace station {

// The holders that pass conditions (SQL on the holders' alias "h", "" for all, with values),
// in the list's order, each with its newest valid card (in validCards too); at most limit
// (0: all). everyValidCard: validCards holds every valid card (one more statement).
bool SelectHolders(QSqlDatabase& db, const QString& conditions, const QVariantList& values,
                   int limit, std::vector<Holder>& holders, QString& error,
                   bool everyValidCard = false);
// The conditions of a filter, with their values appended.
QString HolderConditions(const HolderFilter& filter, QVariantList& values);

// Every holder, left ones too, without their cards (for an import's plan).
bool SelectAllHolders(QSqlDatabase& db, std::vector<Holder>& holders, QString& error);

// Adds holder (its id set) or changes the holder of its id; found tells whether that row was
// there. A unique index's refusal comes back in refusal, other failures in error.
bool InsertHolder(QSqlDatabase& db, Holder& holder, const Origin& origin, QSqlError& refusal);
bool UpdateHolder(QSqlDatabase& db, const Holder& holder, const Origin& origin, bool& found,
                  QSqlError& refusal);

// The holder's valid cards (written or unverified), newest first.
bool SelectValidCards(QSqlDatabase& db, std::int64_t holderId, std::vector<RegisterEntry>& cards,
                      QString& error);

// Inside a reservation's transaction: the card's holder exists (its row locked on
// PostgreSQL until the transaction ends, so that two stations reserving for one person take
// turns) and has not left (else false with error); hasCard tells whether the holder has a
// reserved, written or unverified card.
bool ClaimHolder(QSqlDatabase& db, std::int64_t holderId, bool& hasCard, QString& error);

}  // namespace station
