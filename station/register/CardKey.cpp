#include "station/register/CardKey.h"

#include "station/CardFormatTable.h"

namespace station {

namespace {

struct Layout {
    int format;      // the standard format that names the layout
    int numberBits;  // the width of the number field on the chip
    int facilityBits;
};

// The huge formats are their standard layout read as one number.
constexpr Layout kLayouts[kCardFormatCount] = {
    {0, 16, 8},   // 26
    {0, 16, 8},   // 26 Huge
    {2, 16, 16},  // 34
    {3, 16, 16},  // 34 NC
    {4, 20, 12},  // 35
    {5, 16, 8},   // 36, the fixed field above the facility code
    {6, 19, 16},  // 37
    {6, 19, 16},  // 37 Huge
};

}  // namespace

CardKey CardKeyOf(int format, const CardFields& fields) {
    if (!IsCardFormat(format)) return {};
    const Layout& layout = kLayouts[format];
    const SdkFields values = SplitCardFields(format, fields);
    const auto first = static_cast<std::int64_t>(static_cast<std::uint32_t>(values.first));
    const auto second = static_cast<std::int64_t>(static_cast<std::uint32_t>(values.second));
    const auto extra = static_cast<std::int64_t>(static_cast<std::uint32_t>(values.extra));
    CardKey key;
    key.layout = QString::fromLatin1(kCardFormats[layout.format].commandName);
    key.value = (extra << (layout.numberBits + layout.facilityBits)) |
                (first << layout.numberBits) | second;
    return key;
}

CardKey ForeignCardKey(const QString& formatText, int facility, std::int64_t number) {
    return {formatText + QLatin1Char('/') + QString::number(facility), number};
}

}  // namespace station
