#include <gtest/gtest.h>
#include <algorithm>

#include "chips/ChipTypes.h"

using namespace vellf;

namespace {
std::vector<uint8_t> Le(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
}  // namespace

TEST(ChipTypes, AddressRanges) {
    struct Case {
        int chip;
        int lastValid;
    };
    const Case cases[] = {{3, 7},  {9, 11},  {11, 16}, {12, 43}, {17, 15}, {2, 7},  {13, 7},
                          {6, 34}, {10, 255}, {15, 639}, {18, 15}, {21, 15}, {4, 63}, {19, 63}};
    for (const Case& c : cases) {
        EXPECT_TRUE(BlockAddressValid(c.chip, c.lastValid)) << c.chip;
        EXPECT_FALSE(BlockAddressValid(c.chip, c.lastValid + 1)) << c.chip;
        EXPECT_FALSE(BlockAddressValid(c.chip, -1)) << c.chip;
    }
    EXPECT_TRUE(BlockAddressValid(1, 5000));  // outside 2-21 nothing is checked
    EXPECT_TRUE(BlockAddressValid(22, 5000));
    EXPECT_EQ(BlockReadCount(9, 4), 1);
    EXPECT_EQ(BlockReadCount(11, 1), 1);
    EXPECT_EQ(BlockReadCount(33, 16), 2);
    EXPECT_EQ(BlockReadCount(15, 8), 4);
}

TEST(ChipTypes, ReceiveModeSearchOrder) {
    // Follows the successor chain from mode 0 until it repeats or ends.
    auto chain = [](int chipType, uint16_t caps, uint8_t digit) {
        std::vector<int> modes = {0};
        for (;;) {
            auto next = NextReceiveMode(chipType, modes.back(), caps, digit);
            if (!next || std::find(modes.begin(), modes.end(), *next) != modes.end()) break;
            modes.push_back(*next);
        }
        return modes;
    };
    EXPECT_EQ(chain(17, 0x07F3, 38), (std::vector<int>{0, 1, 2, 5}));
    EXPECT_EQ(chain(17, 0x0143, 0), (std::vector<int>{0, 1, 5}));
    EXPECT_EQ(chain(9, 0x07F3, 38),
              (std::vector<int>{0, 1, 2, 7, 5, 6, 128, 129, 130, 133, 134}));
    EXPECT_EQ(chain(9, 0x07F3, 4), (std::vector<int>{0, 1, 2, 7, 5, 6}));  // no ext128
    EXPECT_EQ(chain(3, 0x01F3, 0), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(chain(11, 0x0143, 0), (std::vector<int>{0, 1}));
    EXPECT_EQ(chain(11, 0x01F3, 0), (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(NextReceiveMode(12, 0, 0x07F3, 38));
    EXPECT_FALSE(NextReceiveMode(9, 3, 0x07F3, 38));
}

TEST(ChipTypes, PlausibleConfigurations) {
    struct Case {
        int chip;
        int mode;
        uint32_t block0;
        bool plausible;
    };
    const Case cases[] = {
        {9, 2, 0x60107060, true},  // the station's own FSK configuration
        {9, 2, 0x00107060, true},  {9, 0, 0x60107060, false}, {17, 2, 0x60107060, true},
        {13, 2, 0x60107060, true}, {21, 2, 0x60107060, true}, {3, 2, 0x60018056, true},
        {3, 1, 0x60018056, false}, {9, 1, 0x003F0002, true},  // extended mode (bit 17 set)
        {9, 6, 0x007F8000, true},  {9, 6, 0x007F8002, false}, {17, 0, 0x00148000, false},
        {9, 0, 0x00148000, true},  {11, 2, 0x60107060, false}, {9, 3, 0x60107060, false},
        {9, 2, 0x00000000, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlausibleConfiguration(c.chip, c.mode, Le(c.block0)), c.plausible)
            << c.chip << "/" << c.mode << "/" << std::hex << c.block0;
    }
    EXPECT_FALSE(PlausibleConfiguration(9, 2, {0x60, 0x70, 0x10}));
    EXPECT_FALSE(PlausibleConfiguration(9, 2, {0x60, 0x70, 0x10, 0x60, 0}));
}
