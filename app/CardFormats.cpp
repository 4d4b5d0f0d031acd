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

bool IsStoredNumber(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 18) return false;
    for (const QChar c : digits) {
        if (c < '0' || c > '9') return false;
    }
    return ParseNumber64(digits) <= kCardFormats[kCardFormatCount - 1].maxCustomer;
}

CardValues SplitCardValues(int format, int facility, std::int64_t number, int fixed) {
    CardValues values;
    switch (format) {
        case 1:
            values.first = static_cast<int>((number >> 16) & 0xFF);
            values.second = static_cast<int>(number & 0xFFFF);
            break;
        case 7:
            values.first = static_cast<int>((number >> 19) & 0xFFFF);
            values.second = static_cast<int>(number & 0x7FFFF);
            break;
        default:
            values.first = facility;
            values.second = static_cast<int>(static_cast<std::uint32_t>(number));
            if (format == 5) values.extra = fixed;
            break;
    }
    return values;
}

bool CardValuesFit(int format, int facility, std::int64_t number, int fixed) {
    if (!IsCardFormat(format)) return false;
    const CardFormatInfo& info = kCardFormats[format];
    if (number < 0 || number > info.maxCustomer) return false;
    if (info.maxFacility > 0 && (facility < 0 || facility > info.maxFacility)) return false;
    if (info.maxFixed > 0 && (fixed < 0 || fixed > info.maxFixed)) return false;
    return true;
}
