// The eight card formats the station offers, in the order of the format box, with the
// largest value each field may take (0: the format has no such field) and the short names
// the command line uses.
#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

namespace station {

struct CardFormatInfo {
    const char* listText;     // as shown in the format box, trailing blanks included
    const char* logName;      // as written to the log files
    const char* commandName;  // as typed on the command line
    std::int64_t maxCustomer;
    int maxFacility;
    int maxFixed;
};

inline constexpr int kCardFormatCount = 8;

inline constexpr CardFormatInfo kCardFormats[kCardFormatCount] = {
    {"26 Bit Standard (H10301)", "26 Bit", "26", 65535, 255, 0},
    {"26 Bit Huge ", "26 Bit Huge", "26-huge", 16777215, 0, 0},
    {"34 Bit Standard ", "34 Bit", "34", 65535, 65535, 0},
    {"34 Bit NC ", "34 Bit NC", "34-nc", 65535, 65535, 0},
    {"35 Bit Standard ", "35 Bit", "35", 1048575, 4095, 0},
    {"36 Bit Standard ", "36 Bit", "36", 65535, 255, 1023},
    {"37 Bit Standard (H10304)", "37 Bit", "37", 524287, 65535, 0},
    {"37 Bit Huge (H10302)", "37 Bit Huge", "37-huge", 34359738367LL, 0, 0},
};

inline bool IsCardFormat(int index) {
    return index >= 0 && index < kCardFormatCount;
}

inline bool FormatHasFacility(int index) {
    return IsCardFormat(index) && kCardFormats[index].maxFacility > 0;
}

inline bool FormatHasFixedField(int index) {
    return IsCardFormat(index) && kCardFormats[index].maxFixed > 0;
}

// The format index of a command-line name ("26", "37-huge", any case), or -1.
int FormatOfCommandName(std::string_view name);

// A decimal text as a signed 64-bit number: leading blanks and sign, then the leading
// digits; a text without digits is 0, a value beyond the range saturates.
std::int64_t ParseNumber64(const QString& text);

// A customer number as the station stores it: decimal digits only, at most the largest
// number of any format.
bool IsStoredNumber(const QString& text);

}  // namespace station
