#include "station/CardFormatTable.h"

#include <cctype>
#include <limits>

namespace station {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

int FormatOfCommandName(std::string_view name) {
    for (int index = 0; index < kCardFormatCount; ++index) {
        if (SameIgnoringCase(name, kCardFormats[index].commandName)) return index;
    }
    return -1;
}

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

}  // namespace station
