// Fills a card register fast, for sizes a station would take years to reach: one statement in
// one transaction, with a written card (and its history event) for each number.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "station/register/CardRegister.h"

namespace registerfill {

// The 35-bit format holds a million numbers under one facility code.
inline constexpr int kFillFormat = 4;
inline constexpr int kFillFacility = 7;

// Cards kFillFormat / kFillFacility numbers 1 to rows, written by station "fill" at one card a
// second, oldest first; gap (when not 0) is left out, as a release leaves it. db is a plain
// connection to a register whose tables exist. False with error.
// A plain connection named name to the register the settings name, beside the register's own
// (no busy timeout, no schema check), opened when it can be: isOpen() and lastError() say.
QSqlDatabase PlainConnection(const station::RegisterSettings& settings, const QString& name);

bool FillRegister(QSqlDatabase& db, std::int64_t rows, std::int64_t gap, QString& error);

// Runs statements on db (as the tables' owner) with the register's rules lifted: its
// triggers dropped, then made again. For a test that puts a row where no path of a program
// can, such as a card dated back. False with error.
bool RunBehindTheRules(QSqlDatabase& db, const QStringList& statements, QString& error);

}  // namespace registerfill
