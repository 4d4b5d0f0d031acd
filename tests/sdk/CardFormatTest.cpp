#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "cards/CardFormat.h"

namespace vellf {
namespace {

constexpr uint64_t Bit(int n) {
    return uint64_t{1} << n;
}
constexpr uint64_t Bits(int lo, int hi) {
    return (Bit(hi + 1) - 1) & ~(Bit(lo) - 1);
}
constexpr uint32_t Max(int width) {
    return static_cast<uint32_t>(Bit(width) - 1);
}

struct Fields {
    uint32_t a, b, c;
};

// Per format: field widths, a typical value, and how each bit of the word is treated on
// decoding: length markers, parity bits, bits the format does not look at; all other bits
// are data bits.
struct FormatCase {
    int code;
    int widthA, widthB, widthC;
    Fields typical;
    uint64_t markers;
    uint64_t parityBits;
    uint64_t ignored;
};

// clang-format off
const FormatCase kFormats[] = {
    {26, 8, 16, 0, {123, 45678, 0}, Bit(26) | Bit(37), Bit(0) | Bit(25),
     Bits(27, 36) | Bits(38, 43)},
    {34, 16, 16, 0, {0xBEEF, 0x1234, 0}, Bit(34) | Bit(37), Bit(0) | Bit(33),
     Bits(35, 36) | Bits(38, 43)},
    {134, 16, 16, 0, {0xBEEF, 0x1234, 0}, Bit(34) | Bit(37), Bit(0),
     Bit(33) | Bits(35, 36) | Bits(38, 43)},
    {35, 12, 20, 0, {0xABC, 0x9ABCD, 0}, Bit(35) | Bit(37), Bit(0) | Bit(33) | Bit(34),
     Bit(36) | Bits(38, 43)},
    {36, 8, 16, 10, {0x5A, 0xC0DE, 0x2A5}, Bit(36) | Bit(37), Bit(0) | Bit(35), Bits(38, 43)},
    {37, 16, 19, 0, {0xCAFE, 0x5A5A5, 0}, Bits(37, 43), Bit(0) | Bit(36), 0},
};
// clang-format on

std::vector<Fields> SampleFields(const FormatCase& f) {
    return {{0, 0, 0}, f.typical, {Max(f.widthA), Max(f.widthB), Max(f.widthC)}};
}

void ExpectFields(const DecodedCard& d, const Fields& expected) {
    EXPECT_EQ(d.fieldA, expected.a);
    EXPECT_EQ(d.fieldB, expected.b);
    EXPECT_EQ(d.fieldC, expected.c);
}

TEST(CardFormatTest, KnownWords) {
    struct Case {
        int code;
        Fields fields;
        uint64_t word;
    };
    const Case cases[] = {
        {26, {1, 1, 0}, 0x2006020002},
        {26, {255, 65535, 0}, 0x2005FFFFFF},
        {34, {1, 1, 0}, 0x2600020003},
        {134, {1, 1, 0}, 0x2400020002},
        {35, {1, 1, 0}, 0x2E00200003},
        {36, {1, 1, 1}, 0x3802020003},
        {37, {1, 1, 0}, 0x1000100002},
        {26, {123, 45678, 0}, 0x2006F764DD},
        {34, {0xBEEF, 0x1234, 0}, 0x277DDE2469},
        {134, {0xBEEF, 0x1234, 0}, 0x257DDE2468},
        {35, {0xABC, 0x9ABCD, 0}, 0x2D5793579B},
        {36, {0x5A, 0xC0DE, 0x2A5}, 0x3D4AB581BD},
        {37, {0xCAFE, 0x5A5A5, 0}, 0xCAFEB4B4A},
        {37, {0, 0x20000, 0}, 0x1000040000},  // bit 18 counts in both parity groups
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("format " + std::to_string(c.code));
        EXPECT_EQ(EncodeCardWord(c.code, c.fields.a, c.fields.b, c.fields.c), c.word);
        const DecodedCard d = DecodeCardWord(c.code, c.word);
        EXPECT_EQ(d.status, kCardOk);
        ExpectFields(d, c.fields);
        // Bits beyond the 44-bit word change nothing.
        EXPECT_EQ(DecodeCardWord(c.code, c.word | ~Bits(0, 43)).status, kCardOk);
    }
}

TEST(CardFormatTest, DataStreamAndBlocks) {
    using Stream = std::array<uint8_t, 12>;
    struct Case {
        uint64_t word;
        Stream stream;
    };
    const Case cases[] = {
        {0x2006020002, {0x1D, 0x55, 0x59, 0x55, 0x55, 0x69, 0x55, 0x59, 0x55, 0x55, 0x55, 0x59}},
        {0x2005FFFFFF, {0x1D, 0x55, 0x59, 0x55, 0x55, 0x66, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
        {0x1000100002, {0x1D, 0x55, 0x56, 0x55, 0x55, 0x55, 0x56, 0x55, 0x55, 0x55, 0x55, 0x59}},
        // Every nibble value once, to cover the whole Manchester table.
        {0xFEDCBA98765, {0x1D, 0xAA, 0xA9, 0xA6, 0xA5, 0x9A, 0x99, 0x96, 0x95, 0x6A, 0x69, 0x66}},
        {0x43210, {0x1D, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x65, 0x5A, 0x59, 0x56, 0x55}},
    };
    for (const Case& c : cases) EXPECT_EQ(CardDataStream(c.word), c.stream) << std::hex << c.word;

    const std::array<uint32_t, 3> blocks = {0x1D555955, 0x55695559, 0x55555559};
    EXPECT_EQ(CardBlocks(0x2006020002), blocks);
}

TEST(CardFormatTest, CardWordFromRawDropsLowNibble) {
    const uint8_t card[6] = {0x02, 0x00, 0x60, 0x20, 0x00, 0x2F};
    EXPECT_EQ(CardWordFromRaw(card), 0x2006020002u);
    const uint8_t allOnes[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(CardWordFromRaw(allOnes), Bits(0, 43));
    EXPECT_EQ(CardWordFromRaw(nullptr), 0u);
}

TEST(CardFormatTest, OverWideFieldsAreCut) {
    EXPECT_EQ(EncodeCardWord(26, 256, 1, 0), EncodeCardWord(26, 0, 1, 0));
    EXPECT_EQ(DecodeCardWord(26, EncodeCardWord(26, 256, 1, 0)).fieldA, 0u);
    for (const FormatCase& f : kFormats) {
        SCOPED_TRACE("format " + std::to_string(f.code));
        const uint64_t w = EncodeCardWord(f.code, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
        EXPECT_EQ(w, EncodeCardWord(f.code, Max(f.widthA), Max(f.widthB), Max(f.widthC)));
        EXPECT_EQ(DecodeCardWord(f.code, w).status, kCardOk);
    }
}

TEST(CardFormatTest, RoundTripAtZeroTypicalAndMaximum) {
    for (const FormatCase& f : kFormats) {
        for (const Fields& in : SampleFields(f)) {
            SCOPED_TRACE("format " + std::to_string(f.code) + " A " + std::to_string(in.a));
            const uint64_t w = EncodeCardWord(f.code, in.a, in.b, in.c);
            EXPECT_EQ(w & f.ignored, 0u);
            EXPECT_EQ(w & ~Bits(0, 43), 0u);
            const DecodedCard d = DecodeCardWord(f.code, w);
            EXPECT_EQ(d.status, kCardOk);
            ExpectFields(d, in);
        }
    }
}

// Markers give 25 without fields; parity and data bits give 14 with the fields still read
// (a data flip changes exactly one field bit). Bits outside the Wiegand word and its
// markers are not looked at, so flipping them changes nothing.
TEST(CardFormatTest, EverySingleBitFlipIsCaughtOrIgnored) {
    for (const FormatCase& f : kFormats) {
        for (const Fields& in : SampleFields(f)) {
            const uint64_t w = EncodeCardWord(f.code, in.a, in.b, in.c);
            for (int bit = 0; bit < 44; ++bit) {
                SCOPED_TRACE("format " + std::to_string(f.code) + " A " + std::to_string(in.a) +
                             " bit " + std::to_string(bit));
                const DecodedCard d = DecodeCardWord(f.code, w ^ Bit(bit));
                if (f.markers & Bit(bit)) {
                    EXPECT_EQ(d.status, kErrWrongFormat);
                    ExpectFields(d, {0, 0, 0});
                } else if (f.ignored & Bit(bit)) {
                    EXPECT_EQ(d.status, kCardOk);
                    ExpectFields(d, in);
                } else {
                    EXPECT_EQ(d.status, kErrParity);
                    const int changed = std::popcount(d.fieldA ^ in.a) +
                                        std::popcount(d.fieldB ^ in.b) +
                                        std::popcount(d.fieldC ^ in.c);
                    EXPECT_EQ(changed, (f.parityBits & Bit(bit)) ? 0 : 1);
                }
            }
        }
    }
}

TEST(CardFormatTest, CardOfAnotherLength) {
    struct Case {
        int writtenAs, readAs, status;
    };
    const Case cases[] = {
        {37, 26, kErrWrongFormat},  // no header bit
        {26, 37, kErrWrongFormat},  // header bit set
        {26, 34, kErrWrongFormat},  // sentinel missing
        {35, 36, kErrWrongFormat},
        {34, 134, kErrParity},  // same markers, caught by the parity over bits 0-32
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.writtenAs) + " read as " + std::to_string(c.readAs));
        EXPECT_EQ(DecodeCardWord(c.readAs, EncodeCardWord(c.writtenAs, 1, 1, 1)).status, c.status);
    }
}

// Bit 0 of the 34-bit word makes bits 1-16 even (some tools use odd parity for this half).
TEST(CardFormatTest, Format34LowerHalfHasEvenParity) {
    EXPECT_EQ(EncodeCardWord(34, 0, 1, 0), 0x2400000003u);
    EXPECT_EQ(EncodeCardWord(34, 0, 3, 0) & 1, 0u);
    EXPECT_EQ(DecodeCardWord(34, 0x2400000002).status, kErrParity);
}

TEST(CardFormatTest, UnknownFormatCode) {
    for (int code : {0, -1, 27, 33, 38, 135}) {
        EXPECT_FALSE(IsKnownCardFormat(code));
        EXPECT_EQ(EncodeCardWord(code, 1, 1, 1), 0u);
        const DecodedCard d = DecodeCardWord(code, 0x2006020002);
        EXPECT_EQ(d.status, kErrInvalidParameter);
        ExpectFields(d, {0, 0, 0});
    }
    for (const FormatCase& f : kFormats) EXPECT_TRUE(IsKnownCardFormat(f.code));
}

}  // namespace
}  // namespace vellf
