// The words and rules of a card's life in the register, shared by its operations.
#pragma once

#include <QString>
#include <span>

#include "station/register/CardRegister.h"

namespace station {

// Written or unverified: the card a chip may carry now.
bool IsValid(const RegisterEntry& card);

// A card's number in messages: "4711", "4711 (facility 12)".
QString CardName(int format, const CardFields& fields);

// A change of state the register makes to a card's row, and what else it may set: Outcome
// (a write's outcome: the time becomes now, the chip identification and the verified flag),
// Reason (a revocation's reason word), Link (only the row links, which every change may set
// once). A row goes only while reserved or unverified. The database refuses every other
// change by trigger (RegisterRules.cpp), so that no path of any program can break it.
struct Transition {
    enum class Sets { Link, Outcome, Reason };
    RegisterEntry::State from;
    RegisterEntry::State to;
    Sets sets;
};
std::span<const Transition> Transitions();

}  // namespace station
