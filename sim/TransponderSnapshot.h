// What lies on the reader's field, copied out as plain data for tests and panels, and the
// names shared by the transponder models.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vsim {

// Chip type codes of the models.
namespace chip {
constexpr int kNone = 0;  // read-only cards, which have no chip type
constexpr int kQ5 = 3;
constexpr int kAta5577 = 9;
constexpr int kM2 = 11;
constexpr int kSic7888 = 12;
constexpr int kT55xx13 = 13;
constexpr int kTl008 = 17;
constexpr int kT55xx21 = 21;
}  // namespace chip

// The chip's own 8-byte identification, in the order the reader sends it.
using ChipId = std::array<uint8_t, 8>;

// A fresh identification for a chip of this type: unique within the process.
ChipId NextChipId(int chipType);

// Readers in different processes hand out different identifications only when each counts
// in a series of its own: series 1 to kChipIdSeriesLast, about a million chips each (series
// 0, where every process starts, is the tests' own). The next chips are numbered from the
// start of series; a series set again numbers the same chips again.
constexpr uint32_t kChipIdSeriesLast = 4095;
void StartChipIdSeries(uint32_t series);
// The series a reader of this name counts in, 1 to kChipIdSeriesLast.
uint32_t ChipIdSeriesOfName(const std::string& name);

// Raw read codings of the raw read command.
namespace coding {
constexpr int kManchester = 0;
constexpr int kBiphase = 1;
constexpr int kFsk = 4;
}  // namespace coding

// What lies on the field, copied out for observation.
struct TransponderSnapshot {
    std::string model;  // "ATA5577", "Manchester card", ...
    int chipType = chip::kNone;
    std::optional<ChipId> id;  // none for read-only cards
    // Memory in units of unitSize bytes (4 = blocks, 1 = the byte-addressed ATA5575 M2), each
    // unit in wire order; block values read least significant byte first.
    size_t unitSize = 4;
    std::vector<uint8_t> memory;
    std::vector<bool> locked;          // per unit
    std::optional<uint64_t> cardWord;  // the FSK card word the chip sends, if its data decode
    std::vector<uint8_t> rawData;      // what a read-only card sends
    int rawCoding = -1;                // its coding, -1 for chips

    size_t UnitCount() const { return unitSize == 0 ? 0 : memory.size() / unitSize; }
    // A 4-byte block as the SDK reads it (little-endian); 0 outside the memory.
    uint32_t BlockValue(size_t block) const;
};

}  // namespace vsim
