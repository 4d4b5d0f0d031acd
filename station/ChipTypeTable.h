// The chip types the station writes, in the order of the chip tabs, with the short names the
// command line uses.
#pragma once

#include <QString>
#include <string_view>

#include "vellf.h"

namespace station {

struct ChipTypeInfo {
    int code;  // chip type code of the SDK
    const char* name;
    const char* commandName;
};

inline constexpr ChipTypeInfo kChipTypes[] = {
    {LF_CHIP_Q5, "ATA5555 (Q5)", "q5"},       {LF_CHIP_ATA5577, "ATA5577", "ata5577"},
    {LF_CHIP_ATA5575M2, "ATA5575 M2", "m2"}, {LF_CHIP_SIC7888, "SIC7888", "sic7888"},
    {LF_CHIP_TL008, "TL008", "tl008"},
};

inline constexpr int kChipAta5575M2 = LF_CHIP_ATA5575M2;

// The tab text of a chip type code; six blanks for a code the station does not offer.
QString ChipName(int code);

// The chip type code of a command-line name ("ata5577", "Q5", ...), or -1.
int ChipOfCommandName(std::string_view name);

// The command-line name of a chip type code, or "" for a code the station does not offer.
const char* ChipCommandName(int code);

}  // namespace station
