// The chip types the station writes, in the order of the chip tabs.
#pragma once

#include <QString>

struct ChipTypeInfo {
    int code;  // chip type code of the SDK
    const char* name;
};

inline constexpr ChipTypeInfo kChipTypes[] = {
    {3, "ATA5555 (Q5)"}, {9, "ATA5577"}, {11, "ATA5575 M2"}, {12, "SIC7888"}, {17, "TL008"},
};

inline constexpr int kChipAta5575M2 = 11;

// The tab text of a chip type code; six blanks for a code the station does not offer.
inline QString ChipName(int code) {
    for (const ChipTypeInfo& chip : kChipTypes) {
        if (chip.code == code) return QString::fromLatin1(chip.name);
    }
    return QStringLiteral("      ");
}
