#include "VersionReply.h"

#include <algorithm>
#include <initializer_list>

namespace vellf {

namespace {

bool OneOf(int value, std::initializer_list<int> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// The older command-set variants of the desk families (0x020 and 0x060).
uint16_t DeskFamilyCapabilities(int type, int digit, int fullType) {
    if (digit < 7) return 0x0001;
    if (type != fullType) return 0x0003;
    if (digit < 13) return 0x0013;
    return digit == 13 ? 0x0033 : 0x0073;
}

}  // namespace

int LeadingHexValue(const uint8_t* text, size_t size) {
    int value = 0;
    for (size_t i = 0; i < size; ++i) {
        uint8_t ch = text[i];
        int digit;
        if (ch >= '0' && ch <= '9') digit = ch - '0';
        else if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
        else break;
        if (value > 0x7FFFFFF) break;  // no device code is that long; keep the value in range
        value = value * 16 + digit;
    }
    return value;
}

uint8_t FirmwareDigitFromChar(uint8_t ch) {
    if (ch >= '0' && ch <= '9') return static_cast<uint8_t>(ch - '0');
    if (ch >= 'A' && ch <= 'Z') return static_cast<uint8_t>(ch - 'A' + 10);
    if (ch >= 'a' && ch <= 'z') return static_cast<uint8_t>(ch - 'a' + 36);
    return 255;
}

uint16_t CapabilitiesFor(int type, int digit) {
    const int group = type & ~0xF;
    if (type == 0x001) return 0x0010;
    if (type <= 0x010) return 0x0000;
    if (group == 0x020) return DeskFamilyCapabilities(type, digit, 0x029);
    if (type == 0x039) return 0x0073;
    if (group == 0x040) return 0x0073;
    if (group == 0x050) return OneOf(type, {0x053, 0x054}) ? 0x07F3 : 0x0303;
    if (group == 0x540) return OneOf(type, {0x543, 0x544}) ? 0x07F3 : 0x0303;
    if (group == 0x060) return DeskFamilyCapabilities(type, digit, 0x069);
    if (type == 0x081) return 0x0003;
    if (group == 0x100) return type == 0x109 ? 0x0073 : 0x0003;
    if (group == 0x210) {
        if (type != 0x219) return 0x0003;
        return digit < 14 ? 0x0033 : 0x0073;
    }
    if (group == 0x240) {
        uint16_t base = OneOf(type, {0x243, 0x244, 0x245}) ? 0x01F3 : 0x0103;
        uint16_t result = base;
        if (digit >= 3) result |= caps::kExtendedModes;
        if (base == 0x01F3 && digit >= 38) result |= caps::kReaderDecoding;
        return result;
    }
    if (group == 0x250) {
        uint16_t base = OneOf(type, {0x253, 0x254}) ? 0x01F3 : 0x0103;
        return digit >= 3 ? static_cast<uint16_t>(base | caps::kExtendedModes) : base;
    }
    if (group == 0x520 || group == 0x530) return 0x0103;
    if (type == 0x271) return 0x0003;
    if (type == 0x273) return 0x0103;
    if (type == 0x231) return 0x03F3;
    if (group == 0x280) return OneOf(type, {0x283, 0x284}) ? 0x03F3 : 0x0303;
    if (group == 0x290) return OneOf(type, {0x293, 0x294}) ? 0x07F3 : 0x0303;
    if (group == 0x550) return OneOf(type, {0x553, 0x554, 0x555}) ? 0x07F3 : 0x0303;
    if (group == 0x560) return OneOf(type, {0x563, 0x564, 0x565}) ? 0x07F3 : 0x0303;
    if (group == 0x570) return OneOf(type, {0x573, 0x574, 0x575}) ? 0x07F3 : 0x0303;
    return 0x0000;
}

VersionInfo EvaluateVersionReply(const std::vector<uint8_t>& reply) {
    VersionInfo info;
    if (reply.size() == 4) {
        info.firmwareDigit = FirmwareDigitFromChar(reply[3]);
        info.deviceType = LeadingHexValue(reply.data(), 3);
        info.capabilities = CapabilitiesFor(info.deviceType, info.firmwareDigit);
    } else if (reply.size() >= 5) {
        info.deviceType = 0x242;
        info.firmwareDigit = 3;
        info.capabilities = 0x0103;
    }
    return info;
}

}  // namespace vellf
