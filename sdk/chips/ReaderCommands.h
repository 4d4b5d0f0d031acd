// Reader commands on an open port: block reads and writes, receive modes and the search for
// the receive mode in which a transponder's configuration reads plausibly.
#pragma once

#include <cstdint>
#include <vector>

#include "VelRwPort.h"

namespace vellf {

namespace cmd {
constexpr uint8_t kVersion = 0xF0;
constexpr uint8_t kDeviceMode = 0xF4;
constexpr uint8_t kFieldSwitch = 0xF5;
constexpr uint8_t kResetReader = 0xF6;
constexpr uint8_t kSerialNumber = 0xF8;
constexpr uint8_t kReceiveMode = 0xFC;
constexpr uint8_t kUsbMode = 0xFF;
constexpr uint8_t kChipId = 0xC0;
constexpr uint8_t kLogin = 0xC1;
constexpr uint8_t kReadBlocks = 0xC2;
constexpr uint8_t kWriteBlocks = 0xC3;
constexpr uint8_t kResetChip = 0xC4;
constexpr uint8_t kReadCardFields = 0xC5;
constexpr uint8_t kReadRaw = 0xC7;
}  // namespace cmd

// Exchanges that need more time than a port's usual timeout.
constexpr unsigned kChipIdTimeoutMs = 1000;
constexpr unsigned kLoginTimeoutMs = 2000;

bool ReadBlocks(CVel_RW_Port& port, int chipType, int startBlock, int byteCount,
                std::vector<uint8_t>& data);

// Writes all bytes in one command from the start block on; lock exactly 1 sets the lock bit
// for the T55xx family.
bool WriteBlocks(CVel_RW_Port& port, int chipType, int startBlock,
                 const std::vector<uint8_t>& data, int lock);

// Sends the mode only when the reader supports it and is not known to be in it already.
bool SetReceiveMode(CVel_RW_Port& port, int mode);

bool FindReceiveMode(CVel_RW_Port& port, int chipType);

}  // namespace vellf
