// The chip types the station writes, as the window uses them; the table belongs to the run
// library.
#pragma once

#include "station/ChipTypeTable.h"

using station::ChipName;
using station::ChipTypeInfo;
using station::kChipAta5575M2;
using station::kChipTypes;
