// What the register's database refuses by itself, on SQLite and PostgreSQL alike, whichever
// program or path writes to it: a second valid card of one number, a change of a card that
// its life does not allow (CardLife.h, Transitions), and any change of the history. On
// PostgreSQL the server also records which database role appended each event.
#pragma once

#include <QString>
#include <QStringList>

#include "station/register/RegisterSchema.h"

namespace station {

// The words the database refuses with (in the error's text).
inline constexpr char kRefusedCardChange[] = "the register's rules allow no such change of a card";
inline constexpr char kRefusedCardRemoval[] =
    "the register's rules remove only a reservation or an unverified card";
inline constexpr char kRefusedHistoryChange[] = "the register's history is never changed";

// The SQL condition over a changed row of "cards" (OLD, NEW) that every change the register
// makes passes: a transition of Transitions() or a link set once, the card's number, key,
// format, chip, holder and origin unchanged, its time changed only to now by a write's outcome.
QString AllowedCardChange(RegisterDialect dialect);

// The triggers that hold the rules; run after version 4's columns and indexes exist.
QStringList RuleStatements(RegisterDialect dialect);

}  // namespace station
