// What the panel offers: the chip types a station writes and the card formats with the
// widths of their fields.
#pragma once

#include "TransponderSnapshot.h"
#include "cards/CardFormat.h"

namespace vsim::panel {

struct ChipChoice {
    int chipType;
    const char* name;
};

inline constexpr ChipChoice kChipChoices[] = {
    {chip::kQ5, "ATA5555 (Q5)"}, {chip::kAta5577, "ATA5577"}, {chip::kM2, "ATA5575 M2"},
    {chip::kSic7888, "SIC7888"}, {chip::kTl008, "TL008"},
};

// Field widths in bits; 0 = the format has no such field.
struct FormatChoice {
    int format;
    const char* name;
    const char* fieldAName;
    int widthA, widthB, widthC;
};

inline constexpr FormatChoice kFormatChoices[] = {
    {vellf::kCardFormat26, "26-bit", "facility", 8, 16, 0},
    {vellf::kCardFormat34, "34-bit", "facility", 16, 16, 0},
    {vellf::kCardFormat34NC, "34-bit NC", "facility", 16, 16, 0},
    {vellf::kCardFormat35, "35-bit", "company", 12, 20, 0},
    {vellf::kCardFormat36, "36-bit", "facility", 8, 16, 10},
    {vellf::kCardFormat37, "37-bit", "facility", 16, 19, 0},
};

}  // namespace vsim::panel
