// Chips as they come new from the maker, the way a station finds them on its reader: the
// T55xx-family chips carry a factory configuration that one of the receive modes reads (so
// the station can detect and write them); the others are blank.
#pragma once

#include <memory>

#include "Transponder.h"

namespace vsim {

// A fresh chip of this type with a new identification; nullptr for a type the factory cannot
// make.
std::unique_ptr<Transponder> MakeFreshChip(int chipType);

}  // namespace vsim
