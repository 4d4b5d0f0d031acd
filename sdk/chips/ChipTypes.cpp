#include "chips/ChipTypes.h"

#include <algorithm>
#include <initializer_list>

#include "VersionReply.h"

namespace vellf {

namespace {

bool OneOf(int value, std::initializer_list<int> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

struct ModeValues {
    int mode;
    uint32_t values[2];  // 0 marks an unused second value
};

// Q5: block 0 AND 0xF003F0F0 per receive mode.
constexpr ModeValues kQ5Modes[] = {
    {0, {0x6001F000}},   {1, {0x6000F0E0}},   {2, {0x60018050}},   {5, {0x6000F000}},
    {6, {0x6001F0E0}},   {7, {0x6001F050}},   {128, {0x6001F080}}, {129, {0x6000F060}},
    {130, {0x600180D0}}, {133, {0x6000F080}}, {134, {0x6001F060}}, {135, {0x6001F0D0}},
};

// ATA5577 in its extended mode (bit 17 set): block 0 AND 0x00FFF002.
constexpr ModeValues kAta5577ExtendedModes[] = {
    {0, {0x7E8000}},           {1, {0x3F0002, 0x3F8000}}, {2, {0x325002}},
    {5, {0x3E8000}},           {6, {0x7F0002, 0x7F8000}}, {7, {0x7E5002}},
    {128, {0x7E8002}},         {129, {0x3F0000, 0x3F8002}}, {130, {0x325000}},
    {133, {0x3E8002}},         {134, {0x7F0000, 0x7F8002}}, {135, {0x7E5000}},
};

// ATA5577 in basic mode and chip types 13, 17, 21: block 0 AND 0x001FF000.
constexpr ModeValues kBasicModes[] = {
    {0, {0x148000}},   {2, {0x107000}},   {5, {0x088000}},   {7, {0x147000}},
    {129, {0x090000}}, {130, {0x105000}}, {134, {0x150000}}, {135, {0x145000}},
};

template <size_t N>
bool Matches(const ModeValues (&table)[N], int mode, uint32_t masked) {
    for (const ModeValues& row : table) {
        if (row.mode != mode) continue;
        return row.values[0] == masked || (row.values[1] != 0 && row.values[1] == masked);
    }
    return false;
}

}  // namespace

bool IsT55xxFamily(int chipType) { return OneOf(chipType, {3, 9, 13, 17, 21}); }

bool BlockAddressValid(int chipType, int block) {
    if (chipType < 2 || chipType > 21) return true;
    int last = 63;
    switch (chipType) {
        case 2: case 3: case 13: case 20: last = 7; break;
        case 6: last = 34; break;
        case 9: last = 11; break;
        case 10: last = 255; break;
        case 11: last = 16; break;
        case 12: last = 43; break;
        case 15: last = 639; break;
        case 17: case 18: case 21: last = 15; break;
        default: break;
    }
    return block >= 0 && block <= last;
}

int BlockReadCount(int chipType, int byteCount) {
    if (chipType == chip::kAta5575M2) return byteCount;
    if (OneOf(chipType, {33, 34, 35, 37})) return byteCount / 8;
    if (chipType == 15) return byteCount / 2;
    return byteCount / 4;
}

std::optional<int> NextReceiveMode(int chipType, int mode, uint16_t capabilities,
                                   uint8_t firmwareDigit) {
    const bool allModes = capabilities & caps::kReceiveModesAll;
    const bool extended = capabilities & caps::kExtendedModes;
    const bool ext128 = extended && firmwareDigit > 4;
    if (OneOf(chipType, {3, 9, 13, 21})) {
        switch (mode) {
            case 0: return 1;
            case 1: return allModes ? 2 : 0;
            case 2: return extended ? 7 : 0;
            case 7: return extended ? 5 : 0;
            case 5: return extended ? 6 : 0;
            case 6: return ext128 ? 128 : 0;
            case 128: return ext128 ? 129 : 0;
            case 129: return ext128 ? 130 : 0;
            case 130: return ext128 ? 133 : 0;
            case 133: return ext128 ? 134 : 0;
            case 134: return 0;
            default: return std::nullopt;
        }
    }
    if (chipType == chip::kAta5575M2) {
        switch (mode) {
            case 0: return 1;
            case 1: return allModes ? 2 : 0;
            case 2: return 0;
            default: return std::nullopt;
        }
    }
    if (chipType == chip::kTl008) {
        switch (mode) {
            case 0: case 5: return 1;
            case 1: return allModes ? 2 : 5;
            case 2: case 6: return 5;
            default: return std::nullopt;
        }
    }
    return std::nullopt;
}

bool PlausibleConfiguration(int chipType, int mode, const std::vector<uint8_t>& block0) {
    if (block0.size() != 4) return false;
    const uint32_t c = static_cast<uint32_t>(block0[0]) | static_cast<uint32_t>(block0[1]) << 8 |
                       static_cast<uint32_t>(block0[2]) << 16 |
                       static_cast<uint32_t>(block0[3]) << 24;
    if (chipType == chip::kQ5) return Matches(kQ5Modes, mode, c & 0xF003F0F0);
    if (chipType == chip::kAta5577 && (c & 0x00020000)) {
        return Matches(kAta5577ExtendedModes, mode, c & 0x00FFF002);
    }
    if (chipType == chip::kTl008 && (mode == 0 || mode == 128)) return false;
    if (OneOf(chipType, {9, 13, 17, 21})) return Matches(kBasicModes, mode, c & 0x001FF000);
    return false;
}

}  // namespace vellf
