// The words and rules of a card's life in the register, shared by its operations.
#pragma once

#include <QString>

#include "station/register/CardRegister.h"

namespace station {

// Written or unverified: the card a chip may carry now.
bool IsValid(const RegisterEntry& card);

// A card's number in messages: "4711", "4711 (facility 12)".
QString CardName(int format, const CardFields& fields);

}  // namespace station
