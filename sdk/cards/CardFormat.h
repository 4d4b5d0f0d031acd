// Wiegand card formats: packing the fields into the 44-bit FSK card word, the word's stored
// form (preamble plus Manchester-coded nibbles), and checking and splitting a word read back.
// Pure functions; no reader access.
#pragma once

#include <array>
#include <cstdint>

namespace vellf {

// SDK format codes. 134 is the 34-bit "NC" variant (one parity bit over both halves).
constexpr int kCardFormat26 = 26;
constexpr int kCardFormat34 = 34;
constexpr int kCardFormat34NC = 134;
constexpr int kCardFormat35 = 35;
constexpr int kCardFormat36 = 36;
constexpr int kCardFormat37 = 37;

// Decode results; the errors are the SDK error codes reported through LfGetLastError.
constexpr int kCardOk = 0;
constexpr int kErrParity = 14;            // a parity bit does not match
constexpr int kErrInvalidParameter = 18;  // unknown format code
constexpr int kErrWrongFormat = 25;       // length markers say it is another format

// First byte of the stored card data, sent ahead of the coded card word.
constexpr uint8_t kCardPreamble = 0x1D;

bool IsKnownCardFormat(int formatCode);

// Packs the fields (each cut to its width) with parity, sentinel and header bits.
// Field C is used by format 36 only. An unknown format code gives 0.
uint64_t EncodeCardWord(int formatCode, uint32_t fieldA, uint32_t fieldB, uint32_t fieldC);

// The 12 bytes stored on a transponder: the preamble, then the 11 nibbles of the word from
// bits 40-43 down to bits 0-3, each Manchester-coded into one byte.
std::array<uint8_t, 12> CardDataStream(uint64_t w);

// The data stream as three 32-bit block values, first stream byte most significant.
std::array<uint32_t, 3> CardBlocks(uint64_t w);

struct DecodedCard {
    int status;  // kCardOk, kErrWrongFormat, kErrParity or kErrInvalidParameter
    uint32_t fieldA, fieldB, fieldC;
};

// Checks the length markers (kErrWrongFormat, fields 0), then every parity bit (kErrParity,
// fields still extracted). Field C is produced by format 36 only. Bits above 43 are ignored.
DecodedCard DecodeCardWord(int formatCode, uint64_t w);

// The six bytes of an FSK read form a 48-bit big-endian number; the card word is its top
// 44 bits.
uint64_t CardWordFromRaw(const uint8_t raw[6]);

}  // namespace vellf
