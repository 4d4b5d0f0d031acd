// Every chip type, every format, locked or not, on a reader that decodes cards itself and on
// one that does not: what is written is what is read back.
#include <gtest/gtest.h>

#include "ChipFixture.h"

using namespace testsupport;

namespace {

struct Format {
    const char* name;
    uint32_t maskA, maskB, maskC;
    int (*write)(int, int, int, int, int, int);
    int (*read)(int, int*, int*, int*);
};

template <int (*W)(int, int, int, int, int)>
int WriteAB(int h, int chip, int a, int b, int, int flags) {
    return W(h, chip, a, b, flags);
}
template <int (*R)(int, int*, int*)>
int ReadAB(int h, int* a, int* b, int* c) {
    *c = 0;
    return R(h, a, b);
}

const Format kFormats[] = {
    {"26", 0xFF, 0xFFFF, 0, WriteAB<LfWriteWiegand26>, ReadAB<LfReadWiegand26>},
    {"34", 0xFFFF, 0xFFFF, 0, WriteAB<LfWriteWiegand34>, ReadAB<LfReadWiegand34>},
    {"34NC", 0xFFFF, 0xFFFF, 0, WriteAB<LfWriteWiegand34NC>, ReadAB<LfReadWiegand34NC>},
    {"35", 0xFFF, 0xFFFFF, 0, WriteAB<LfWriteWiegand35>, ReadAB<LfReadWiegand35>},
    {"36", 0xFF, 0xFFFF, 0x3FF, LfWriteWiegand36, LfReadWiegand36},
    {"37", 0xFFFF, 0x7FFFF, 0, WriteAB<LfWriteWiegand37>, ReadAB<LfReadWiegand37>},
};

class RoundTrip : public ChipTest,
                  public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(RoundTrip, EveryChipFormatAndLock) {
    Open(GetParam());
    const int chips[] = {3, 9, 11, 12, 17};
    for (int chip : chips) {
        for (const Format& format : kFormats) {
            for (int flags : {0, 3}) {
                SCOPED_TRACE(testing::Message() << "chip " << chip << " format " << format.name
                                                << " flags " << flags);
                Place(FreshChip(chip));
                // Largest values first, then values wider than their fields (cut to them).
                const int a = flags ? static_cast<int>(format.maskA + 1 + 5) : static_cast<int>(format.maskA);
                const int b = flags ? static_cast<int>(format.maskB + 1 + 7) : static_cast<int>(format.maskB);
                const int c = flags ? static_cast<int>(format.maskC + 1 + 9) : static_cast<int>(format.maskC);
                ASSERT_EQ(format.write(handle, chip, a, b, c, flags), 0)
                    << "error " << LfGetLastError(handle);
                int ra = -1, rb = -1, rc = -1;
                ASSERT_EQ(format.read(handle, &ra, &rb, &rc), 0)
                    << "error " << LfGetLastError(handle);
                EXPECT_EQ(static_cast<uint32_t>(ra), a & format.maskA);
                EXPECT_EQ(static_cast<uint32_t>(rb), b & format.maskB);
                EXPECT_EQ(static_cast<uint32_t>(rc), c & format.maskC);
            }
        }
    }
}

TEST_P(RoundTrip, ALockedCardRefusesTheNextWrite) {
    Open(GetParam());
    for (int chip : {3, 9, 11, 17}) {
        Place(FreshChip(chip));
        ASSERT_EQ(LfWriteWiegand26(handle, chip, 7, 700, 3), 0) << chip;
        EXPECT_EQ(LfWriteWiegand26(handle, chip, 8, 800, 3), -1) << chip;
        int facility = 0, number = 0;
        ASSERT_EQ(LfReadWiegand26(handle, &facility, &number), 0) << chip;
        EXPECT_EQ(number, 700) << chip;
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, RoundTrip, ::testing::Values("243c", "2434"));
