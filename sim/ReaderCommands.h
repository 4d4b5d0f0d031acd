// The reader's own commands (version, serial number, modes, reset); transponder commands
// live beside them in their own module.
#pragma once

#include <cstdint>

#include "CommandSet.h"

namespace vsim {

namespace command {
constexpr uint8_t kVersion = 0xF0;
constexpr uint8_t kDeviceMode = 0xF4;
constexpr uint8_t kFieldSwitch = 0xF5;
constexpr uint8_t kResetReader = 0xF6;
constexpr uint8_t kSerialNumber = 0xF8;
constexpr uint8_t kReceiveMode = 0xFC;
constexpr uint8_t kUsbMode = 0xFF;
}  // namespace command

void AddReaderCommands(CommandSet& commands);

}  // namespace vsim
