// The reader's transponder commands: chip identification, login, block reads and writes,
// field reset, reader-side card decoding and raw reads. They act on the transponder in the
// device state's field.
#pragma once

#include <cstdint>
#include <string>

#include "CommandSet.h"

namespace vsim {

namespace command {
constexpr uint8_t kReadChipId = 0xC0;        // [chip type, 0] -> 8 identification bytes
constexpr uint8_t kLogin = 0xC1;             // [chip type, id...] -> configuration block 1
constexpr uint8_t kReadBlocks = 0xC2;        // [chip type, start, count] -> block data
constexpr uint8_t kWriteBlocks = 0xC3;       // [chip type, address | lock, data...]
constexpr uint8_t kResetTransponder = 0xC4;  // [chip type, 1]
constexpr uint8_t kReadCard = 0xC5;          // [0, format code 0x21-0x25] -> fields
constexpr uint8_t kReadRaw = 0xC7;           // [coding, length] -> raw bytes
}  // namespace command

// Adds the transponder commands; call after the reader's own commands, whose field switch
// it takes over (switching the field also resets the transponder on it).
void AddTransponderCommands(CommandSet& commands);

// Whether a reader with this version reply decodes card formats itself: a four-character
// reply (three hexadecimal digits of the device type, one firmware digit) of the device types
// 0x243-0x245 from firmware digit 38 ('c') on, or of 0x053, 0x054, 0x543, 0x544, 0x293,
// 0x294, 0x553-0x555, 0x563-0x565, 0x573-0x575.
bool DecodesCardFormats(const std::string& version);

}  // namespace vsim
