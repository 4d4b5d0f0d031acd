// Transponder chip types: codes, address ranges and the receive modes in which a chip's
// configuration block reads plausibly.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "vellf.h"

namespace vellf {

namespace chip {
constexpr int kQ5 = LF_CHIP_Q5;
constexpr int kAta5577 = LF_CHIP_ATA5577;
constexpr int kAta5575M2 = LF_CHIP_ATA5575M2;
constexpr int kSic7888 = LF_CHIP_SIC7888;
constexpr int kTl008 = LF_CHIP_TL008;
}  // namespace chip

// Chip types 3, 9, 13, 17 and 21 share the write sequence, the lock bit and the
// configuration check.
bool IsT55xxFamily(int chipType);

// False when the start block is outside the chip type's address range; types below 2 and
// above 21 are not checked.
bool BlockAddressValid(int chipType, int block);

// The request count of a block read for the bytes wanted (blocks, bytes or words).
int BlockReadCount(int chipType, int byteCount);

// The next receive mode the search tries after `mode`, if any.
std::optional<int> NextReceiveMode(int chipType, int mode, uint16_t capabilities,
                                   uint8_t firmwareDigit);

// Whether block 0, read in the given receive mode, is a configuration a chip of the T55xx
// family would have in that mode. Anything but exactly 4 bytes is never plausible.
bool PlausibleConfiguration(int chipType, int mode, const std::vector<uint8_t>& block0);

}  // namespace vellf
