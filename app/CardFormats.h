// The station's card formats as the window uses them; the table and the rules for numbers
// belong to the run library.
#pragma once

#include "station/CardFormatTable.h"

using station::CardFormatInfo;
using station::FormatHasFacility;
using station::FormatHasFixedField;
using station::IsCardFormat;
using station::IsStoredNumber;
using station::kCardFormatCount;
using station::kCardFormats;
using station::ParseNumber64;
