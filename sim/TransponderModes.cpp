#include "TransponderModes.h"

#include <initializer_list>

namespace vsim {

namespace {

struct ModeValue {
    int mode;
    uint32_t value;
};

bool Matches(std::initializer_list<ModeValue> table, uint32_t masked, int mode) {
    for (const ModeValue& entry : table) {
        if (entry.mode == mode && entry.value == masked) return true;
    }
    return false;
}

// ATA5555 (Q5): modulation, data rate and the PSK/maxblock bits.
bool Q5Readable(uint32_t c, int mode) {
    return Matches({{0, 0x6001F000},
                    {1, 0x6000F0E0},
                    {2, 0x60018050},
                    {5, 0x6000F000},
                    {6, 0x6001F0E0},
                    {7, 0x6001F050},
                    {128, 0x6001F080},
                    {129, 0x6000F060},
                    {130, 0x600180D0},
                    {133, 0x6000F080},
                    {134, 0x6001F060},
                    {135, 0x6001F0D0}},
                   c & 0xF003F0F0, mode);
}

// ATA5577 in extended mode (bit 0x00020000 set).
bool ExtendedReadable(uint32_t c, int mode) {
    return Matches({{0, 0x7E8000},
                    {1, 0x3F0002},
                    {1, 0x3F8000},
                    {2, 0x325002},
                    {5, 0x3E8000},
                    {6, 0x7F0002},
                    {6, 0x7F8000},
                    {7, 0x7E5002},
                    {128, 0x7E8002},
                    {129, 0x3F0000},
                    {129, 0x3F8002},
                    {130, 0x325000},
                    {133, 0x3E8002},
                    {134, 0x7F0000},
                    {134, 0x7F8002},
                    {135, 0x7E5000}},
                   c & 0x00FFF002, mode);
}

// Basic mode of the ATA5577 and its relatives: data rate and modulation only.
bool BasicReadable(uint32_t c, int mode) {
    return Matches({{0, 0x148000},
                    {2, 0x107000},
                    {5, 0x088000},
                    {7, 0x147000},
                    {129, 0x090000},
                    {130, 0x105000},
                    {134, 0x150000},
                    {135, 0x145000}},
                   c & 0x001FF000, mode);
}

}  // namespace

bool IsT55xxFamily(int chipType) {
    return chipType == 3 || chipType == 9 || chipType == 13 || chipType == 17 || chipType == 21;
}

bool ReadableInMode(int chipType, uint32_t configuration, int mode) {
    switch (chipType) {
        case 3:
            return Q5Readable(configuration, mode);
        case 9:
            if ((configuration & 0x00020000) != 0) return ExtendedReadable(configuration, mode);
            return BasicReadable(configuration, mode);
        case 13:
        case 21:
            return BasicReadable(configuration, mode);
        case 17:
            // The TL008 lacks the two slowest settings.
            return mode != 0 && mode != 128 && BasicReadable(configuration, mode);
        default:
            return false;
    }
}

}  // namespace vsim
