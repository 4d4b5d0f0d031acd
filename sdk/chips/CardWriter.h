// Programming a card number onto a transponder: the write sequence of each chip type.
#pragma once

#include <cstdint>

#include "VelRwPort.h"

namespace vellf {

// Write flags: bit 0 and bit 1 mean per chip type (lock data / lock configuration on the
// T55xx family, configuration options on the others). The station passes 3 to lock. Sets
// port.m_blockCommandSent once the first block command goes out, clears it on entry.
bool WriteCard(CVel_RW_Port& port, int chipType, int formatCode, uint32_t fieldA,
               uint32_t fieldB, uint32_t fieldC, int flags);

}  // namespace vellf
