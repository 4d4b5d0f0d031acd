// What identifies a card in the register: the bits that reach the chip, not the format name the
// operator chose. 26 Bit and 26 Bit Huge write one card word (facility 12 number 4711 is Huge
// number 791143), so do 37 Bit and 37 Bit Huge; each pair shares a layout, and a card is its
// layout plus the fields on the chip packed into one number.
#pragma once

#include <QString>
#include <cstdint>

#include "station/CardNumbers.h"

namespace station {

struct CardKey {
    QString layout;          // the standard format's command name ("26" for both 26 names)
    std::int64_t value = 0;  // the chip's fields, the number in the lowest bits

    bool operator==(const CardKey&) const = default;
};

// The key of a card of a known format. Within one facility code (and fixed field) the
// numbers of a format are consecutive keys: the key of number n is the key of number 0 plus n.
CardKey CardKeyOf(int format, const CardFields& fields);

// The key of a stored row whose format this program does not know: the stored format and
// facility as the layout, so that such rows keep the uniqueness they were written with.
CardKey ForeignCardKey(const QString& formatText, int facility, std::int64_t number);

}  // namespace station
