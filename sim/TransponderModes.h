// In which receive modes of the reader a T55xx-family chip's answer demodulates: each mode
// stands for one modulation and data rate, and the chip sends with the one its configuration
// block sets. The reader's own copy of the configuration-per-mode table.
#pragma once

#include <cstdint>

namespace vsim {

bool IsT55xxFamily(int chipType);

// Whether a chip of this type with configuration block `configuration` answers in `mode`.
bool ReadableInMode(int chipType, uint32_t configuration, int mode);

}  // namespace vsim
