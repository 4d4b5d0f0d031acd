// What a reader's version reply says: device type, firmware digit and the capabilities
// that follow from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellf {

namespace caps {
constexpr uint16_t kReceiveModes01 = 0x0040;   // 0xFC accepted for modes 0 and 1
constexpr uint16_t kReceiveModesAll = 0x0080;  // 0xFC accepted for all modes; mode 2 exists
constexpr uint16_t kExtendedCommands = 0x0100; // commands 0xC0-0xC7
constexpr uint16_t kExtendedModes = 0x0200;    // receive modes 5, 6, 7 (and 128-134)
constexpr uint16_t kReaderDecoding = 0x0400;   // the reader decodes card formats (0xC5)
}  // namespace caps

struct VersionInfo {
    int deviceType = 0;
    uint8_t firmwareDigit = 0;
    uint16_t capabilities = 0;
};

// Leading hexadecimal digits of the text, as the standard conversion reads them (stops at the
// first other character; no digits give 0).
int LeadingHexValue(const uint8_t* text, size_t size);

// '0'-'9' give 0-9, 'A'-'Z' 10-35, 'a'-'z' 36-61, anything else 255.
uint8_t FirmwareDigitFromChar(uint8_t ch);

uint16_t CapabilitiesFor(int deviceType, int firmwareDigit);

// A 4-byte reply is three hex digits of the device type and the firmware digit; a longer
// text reply stands for an older reader (type 0x242, digit 3, capabilities 0x0103); a shorter
// one says nothing.
VersionInfo EvaluateVersionReply(const std::vector<uint8_t>& reply);

}  // namespace vellf
