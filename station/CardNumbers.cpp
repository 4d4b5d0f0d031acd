#include "station/CardNumbers.h"

#include "station/CardFormatTable.h"

namespace station {

namespace {

constexpr int kFormat26Huge = 1;
constexpr int kFormat36 = 5;
constexpr int kFormat37Huge = 7;

}  // namespace

SdkFields SplitCardFields(int format, const CardFields& fields) {
    const std::int64_t number = fields.number;
    SdkFields values;
    switch (format) {
        case kFormat26Huge:
            values.first = static_cast<int>((number >> 16) & 0xFF);
            values.second = static_cast<int>(number & 0xFFFF);
            break;
        case kFormat37Huge:
            values.first = static_cast<int>((number >> 19) & 0xFFFF);
            values.second = static_cast<int>(number & 0x7FFFF);
            break;
        default:
            values.first = fields.facility;
            values.second = static_cast<int>(static_cast<std::uint32_t>(number));
            if (format == kFormat36) values.extra = fields.fixed;
            break;
    }
    return values;
}

CardFields JoinSdkFields(int format, const SdkFields& values, const CardFields& before) {
    CardFields fields = before;
    const auto a = static_cast<std::uint32_t>(values.first);
    const auto b = static_cast<std::uint32_t>(values.second);
    switch (format) {
        case kFormat26Huge:
            fields.facility = 0;
            fields.number = static_cast<std::int32_t>((a << 16) | b);
            break;
        case kFormat37Huge:
            fields.facility = 0;
            fields.number = static_cast<std::int64_t>((static_cast<std::uint64_t>(a) << 19) | b);
            break;
        default:
            fields.facility = values.first;
            fields.number = values.second;
            if (format == kFormat36) fields.fixed = values.extra;
            break;
    }
    return fields;
}

bool SameCard(int format, const CardFields& a, const CardFields& b) {
    if (a.number != b.number) return false;
    if (FormatHasFacility(format) && a.facility != b.facility) return false;
    return !FormatHasFixedField(format) || a.fixed == b.fixed;
}

std::optional<FieldOutOfRange> CheckCardFields(int format, const CardFields& fields) {
    using Field = FieldOutOfRange::Field;
    if (!IsCardFormat(format)) return FieldOutOfRange{Field::Number, 0};
    const CardFormatInfo& info = kCardFormats[format];
    if (FormatHasFacility(format) && (fields.facility < 0 || fields.facility > info.maxFacility))
        return FieldOutOfRange{Field::Facility, info.maxFacility};
    if (fields.number < 0 || fields.number > info.maxCustomer)
        return FieldOutOfRange{Field::Number, info.maxCustomer};
    if (FormatHasFixedField(format) && (fields.fixed < 0 || fields.fixed > info.maxFixed))
        return FieldOutOfRange{Field::Fixed, info.maxFixed};
    return std::nullopt;
}

}  // namespace station
