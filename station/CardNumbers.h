// A card's fields in the station's terms and the values a format's SDK functions take. The
// huge formats have no facility code of their own: they spread one number over the two
// fields of the standard layout (26 Huge: 8 upper bits as facility, 16 lower as number;
// 37 Huge: 16 upper bits and 19 lower bits), split so when writing and joined when reading.
#pragma once

#include <cstdint>
#include <optional>

namespace station {

// What the operator enters and a read shows.
struct CardFields {
    int facility = 0;
    std::int64_t number = 0;
    int fixed = 0;  // the 36-bit format's extra field

    bool operator==(const CardFields&) const = default;
};

// The values of the SDK's write and read functions of a format.
struct SdkFields {
    int first = 0;
    int second = 0;
    int extra = 0;  // 36-bit format only
};

// The write values of a format (the number's low 32 bits where it is not split).
SdkFields SplitCardFields(int format, const CardFields& fields);

// The fields a read of the format shows. A format without a fixed field keeps fields.fixed;
// formats without a facility code give facility 0.
CardFields JoinSdkFields(int format, const SdkFields& values, const CardFields& before = {});

// Whether two cards of a format carry the same fields (fields the format has not are equal).
bool SameCard(int format, const CardFields& a, const CardFields& b);

// The field of a card that is out of its format's range, with the largest allowed value.
struct FieldOutOfRange {
    enum class Field { Facility, Number, Fixed } field;
    std::int64_t largest;
};

// Every field from 0 to its format's largest value; the first one out of range, if any. A
// format outside the list refuses the number with largest 0.
std::optional<FieldOutOfRange> CheckCardFields(int format, const CardFields& fields);

}  // namespace station
