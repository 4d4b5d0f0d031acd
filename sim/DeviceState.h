// What the simulated reader remembers between requests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Field.h"

namespace vsim {

struct DeviceState {
    // Reply of the version command: three hexadecimal digits of the device type and a firmware
    // digit, or a longer text.
    std::string version = "243c";
    std::vector<uint8_t> serialNumber = {0x78, 0x56, 0x34, 0x12};
    int receiveMode = 0;  // the mode a reader has after power-up
    int deviceMode = -1;  // -1 until a device mode command arrives
    int usbMode = -1;     // -1 until a USB mode command arrives
    // Last data of the field switch command (0 = off, 1 = on); -1 until one arrives.
    int fieldSwitch = -1;
    // The transponder lying on the field, if any. While the field is switched off (0) no
    // transponder answers.
    Field field;
};

}  // namespace vsim
