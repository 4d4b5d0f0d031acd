#include "cards/CardFormat.h"

#include <bit>
#include <cstddef>

namespace vellf {

namespace {

constexpr int kWordBits = 44;
constexpr int kHeaderBit = 37;

constexpr uint64_t Bit(int n) {
    return uint64_t{1} << n;
}

// Bits lo..hi inclusive.
constexpr uint64_t Bits(int lo, int hi) {
    return (Bit(hi + 1) - 1) & ~(Bit(lo) - 1);
}

// Bits lo..hi except those whose number is congruent to `skipped` modulo 3: the 35-bit
// format's two interleaved parity groups.
constexpr uint64_t BitsSkipping(int lo, int hi, int skipped) {
    uint64_t mask = 0;
    for (int n = lo; n <= hi; ++n) {
        if (n % 3 != skipped) mask |= Bit(n);
    }
    return mask;
}

// Formats shorter than 37 bits mark their length with a sentinel just above the Wiegand
// word and a header bit; the 37-bit format instead keeps everything above it clear.
constexpr uint64_t ShortFormatMarkers(int length) {
    return Bit(kHeaderBit) | Bit(length);
}

struct Field {
    int shift = 0;
    int width = 0;  // 0: the format has no such field

    constexpr uint64_t Place(uint32_t value) const {
        return (uint64_t{value} & (Bit(width) - 1)) << shift;
    }
    constexpr uint32_t Extract(uint64_t w) const {
        return static_cast<uint32_t>((w >> shift) & (Bit(width) - 1));
    }
};

enum class Sense { Even, Odd };

struct Parity {
    int bit = -1;  // -1: slot unused
    uint64_t over = 0;
    Sense sense = Sense::Even;

    // The value the parity bit needs so that the group plus the bit has the right sense.
    constexpr uint64_t Compute(uint64_t w) const {
        const bool oddOnes = std::popcount(w & over) % 2 != 0;
        return (oddOnes == (sense == Sense::Even)) ? Bit(bit) : 0;
    }
    constexpr bool Holds(uint64_t w) const { return (w & Bit(bit)) == Compute(w); }
};

struct Layout {
    int code;
    Field a, b, c;
    uint64_t markerMask;   // bits that tell the Wiegand length
    uint64_t markerValue;  // and the value they must have
    // In the order of computation: a later group may cover an earlier parity bit.
    std::array<Parity, 3> parity;
};

// clang-format off
constexpr std::array<Layout, 6> kLayouts{{
    {kCardFormat26, {17, 8}, {1, 16}, {}, ShortFormatMarkers(26), ShortFormatMarkers(26),
     {{{25, Bits(13, 24), Sense::Even}, {0, Bits(1, 12), Sense::Odd}, {}}}},
    {kCardFormat34, {17, 16}, {1, 16}, {}, ShortFormatMarkers(34), ShortFormatMarkers(34),
     {{{33, Bits(17, 32), Sense::Even}, {0, Bits(1, 16), Sense::Even}, {}}}},
    // The NC variant leaves bit 33 at 0 and never looks at it.
    {kCardFormat34NC, {17, 16}, {1, 16}, {}, ShortFormatMarkers(34), ShortFormatMarkers(34),
     {{{0, Bits(1, 32), Sense::Even}, {}, {}}}},
    {kCardFormat35, {21, 12}, {1, 20}, {}, ShortFormatMarkers(35), ShortFormatMarkers(35),
     {{{33, BitsSkipping(1, 32, 0), Sense::Even},
       {0, BitsSkipping(2, 33, 1), Sense::Odd},
       {34, Bits(0, 33), Sense::Odd}}}},
    {kCardFormat36, {17, 8}, {1, 16}, {25, 10}, ShortFormatMarkers(36), ShortFormatMarkers(36),
     {{{35, Bits(18, 34), Sense::Even}, {0, Bits(1, 17), Sense::Odd}, {}}}},
    // Bit 18 belongs to both groups.
    {kCardFormat37, {20, 16}, {1, 19}, {}, Bits(37, kWordBits - 1), 0,
     {{{36, Bits(18, 35), Sense::Even}, {0, Bits(1, 18), Sense::Odd}, {}}}},
}};
// clang-format on

const Layout* FindLayout(int formatCode) {
    for (const Layout& layout : kLayouts) {
        if (layout.code == formatCode) return &layout;
    }
    return nullptr;
}

// Manchester code of one nibble, most significant bit first: 0 -> 01, 1 -> 10.
constexpr std::array<uint8_t, 16> kManchester = {0x55, 0x56, 0x59, 0x5A, 0x65, 0x66, 0x69, 0x6A,
                                                 0x95, 0x96, 0x99, 0x9A, 0xA5, 0xA6, 0xA9, 0xAA};

}  // namespace

bool IsKnownCardFormat(int formatCode) {
    return FindLayout(formatCode) != nullptr;
}

uint64_t EncodeCardWord(int formatCode, uint32_t fieldA, uint32_t fieldB, uint32_t fieldC) {
    const Layout* layout = FindLayout(formatCode);
    if (layout == nullptr) return 0;

    uint64_t w = layout->a.Place(fieldA) | layout->b.Place(fieldB) | layout->c.Place(fieldC);
    for (const Parity& parity : layout->parity) {
        if (parity.bit >= 0) w |= parity.Compute(w);
    }
    return w | layout->markerValue;
}

std::array<uint8_t, 12> CardDataStream(uint64_t w) {
    std::array<uint8_t, 12> stream{};
    stream[0] = kCardPreamble;
    for (std::size_t i = 1; i < stream.size(); ++i) {
        const int shift = static_cast<int>(4 * (stream.size() - 1 - i));
        stream[i] = kManchester[(w >> shift) & 0xF];
    }
    return stream;
}

std::array<uint32_t, 3> CardBlocks(uint64_t w) {
    const std::array<uint8_t, 12> stream = CardDataStream(w);
    std::array<uint32_t, 3> blocks{};
    for (std::size_t i = 0; i < stream.size(); ++i) {
        blocks[i / 4] = (blocks[i / 4] << 8) | stream[i];
    }
    return blocks;
}

DecodedCard DecodeCardWord(int formatCode, uint64_t w) {
    const Layout* layout = FindLayout(formatCode);
    if (layout == nullptr) return {kErrInvalidParameter, 0, 0, 0};

    if ((w & layout->markerMask) != layout->markerValue) return {kErrWrongFormat, 0, 0, 0};

    int status = kCardOk;
    for (const Parity& parity : layout->parity) {
        if (parity.bit >= 0 && !parity.Holds(w)) status = kErrParity;
    }
    return {status, layout->a.Extract(w), layout->b.Extract(w), layout->c.Extract(w)};
}

uint64_t CardWordFromRaw(const uint8_t raw[6]) {
    if (raw == nullptr) return 0;
    uint64_t value = 0;
    for (int i = 0; i < 6; ++i) value = (value << 8) | raw[i];
    return value >> 4;
}

}  // namespace vellf
