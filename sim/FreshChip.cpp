#include "FreshChip.h"

#include "TransponderFactory.h"

namespace vsim {

namespace {

// Factory configurations: the ATA5577 and its relatives read in receive mode 5, the Q5 in
// mode 0, the TL008 in mode 5.
constexpr uint32_t kQ5Delivered = 0x6001F004;
constexpr uint32_t kAta5577Delivered = 0x000880E8;
constexpr uint32_t kTl008Delivered = 0x00088000;

}  // namespace

std::unique_ptr<Transponder> MakeFreshChip(int chipType) {
    switch (chipType) {
        case chip::kQ5:
            return MakeConfiguredChip(chipType, kQ5Delivered);
        case chip::kAta5577:
        case chip::kT55xx13:
        case chip::kT55xx21:
            return MakeConfiguredChip(chipType, kAta5577Delivered);
        case chip::kTl008:
            return MakeConfiguredChip(chipType, kTl008Delivered);
        default:
            return MakeBlankChip(chipType);
    }
}

}  // namespace vsim
