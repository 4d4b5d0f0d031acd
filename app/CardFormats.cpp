#include "CardFormats.h"

#include <limits>

std::int64_t ParseNumber64(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size() && text[pos].isSpace()) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Accumulate as a negative number so that the smallest value fits too.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const int digit = text[pos].unicode() - '0';
        if (value < (kMin + digit) / 10) {
            value = kMin;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}
