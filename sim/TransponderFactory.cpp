#include "TransponderFactory.h"

#include <cctype>
#include <utility>

#include "TransponderM2.h"
#include "TransponderModes.h"
#include "TransponderReadOnly.h"
#include "TransponderSic7888.h"
#include "TransponderT55xx.h"
#include "cards/CardFormat.h"

namespace vsim {

namespace {

Sic7888Chip::Block BlockBytes(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// The SIC7888 configuration the station writes without lock flags onto a blank chip.
constexpr uint32_t kSicFskConfiguration = 0x00003424;

// A T55xx-family chip that sends this card word under the given configuration block.
std::unique_ptr<Transponder> T55xxCard(int chipType, uint64_t cardWord, uint32_t configuration) {
    auto chip = std::make_unique<T55xxChip>(chipType);
    chip->SetBlock(0, configuration);
    const std::array<uint32_t, 3> blocks = vellf::CardBlocks(cardWord);
    for (int i = 0; i < 3; ++i) chip->SetBlock(i + 1, blocks[static_cast<size_t>(i)]);
    return chip;
}

}  // namespace

std::unique_ptr<Transponder> MakeBlankChip(int chipType) {
    if (IsT55xxFamily(chipType)) return std::make_unique<T55xxChip>(chipType);
    if (chipType == chip::kM2) return std::make_unique<M2Chip>();
    if (chipType == chip::kSic7888) return std::make_unique<Sic7888Chip>();
    return nullptr;
}

std::unique_ptr<Transponder> MakeConfiguredChip(int chipType, uint32_t configuration) {
    if (IsT55xxFamily(chipType)) {
        auto chip = std::make_unique<T55xxChip>(chipType);
        chip->SetBlock(0, configuration);
        return chip;
    }
    if (chipType == chip::kM2) {
        auto chip = std::make_unique<M2Chip>();
        chip->SetByte(M2Chip::kConfigurationAddress, static_cast<uint8_t>(configuration));
        return chip;
    }
    if (chipType == chip::kSic7888) {
        auto chip = std::make_unique<Sic7888Chip>();
        chip->SetBlock(Sic7888Chip::kConfigurationBlock, BlockBytes(configuration));
        return chip;
    }
    return nullptr;
}

std::unique_ptr<Transponder> MakeCardChip(int chipType, uint64_t cardWord) {
    const std::array<uint8_t, 12> stream = vellf::CardDataStream(cardWord);
    if (IsT55xxFamily(chipType)) {
        return T55xxCard(chipType, cardWord, T55xxChip::FskConfiguration(chipType));
    }
    if (chipType == chip::kM2) {
        auto chip = std::make_unique<M2Chip>();
        for (size_t i = 0; i < stream.size(); ++i) {
            chip->SetByte(i, static_cast<uint8_t>(~stream[i]));
        }
        chip->SetByte(M2Chip::kConfigurationAddress, M2Chip::kFskConfiguration);
        return chip;
    }
    if (chipType == chip::kSic7888) {
        auto chip = std::make_unique<Sic7888Chip>();
        for (size_t i = 0; i < 3; ++i) {
            chip->SetBlock(
                Sic7888Chip::kFirstDataBlock + i,
                {stream[4 * i], stream[4 * i + 1], stream[4 * i + 2], stream[4 * i + 3]});
        }
        chip->SetBlock(Sic7888Chip::kConfigurationBlock, BlockBytes(kSicFskConfiguration));
        return chip;
    }
    return nullptr;
}

std::unique_ptr<Transponder> MakePasswordChip(int chipType, uint64_t cardWord) {
    if (chipType != chip::kAta5577) return nullptr;
    return T55xxCard(chipType, cardWord,
                     T55xxChip::FskConfiguration(chipType) | T55xxChip::kPasswordBit);
}

std::unique_ptr<Transponder> MakeManchesterCard(std::vector<uint8_t> data) {
    if (data.empty()) return nullptr;
    return std::make_unique<ReadOnlyCard>(coding::kManchester, std::move(data));
}

std::unique_ptr<Transponder> MakeBiphaseCard(std::vector<uint8_t> data) {
    if (data.empty()) return nullptr;
    return std::make_unique<ReadOnlyCard>(coding::kBiphase, std::move(data));
}

std::optional<int> ChipTypeOfName(const std::string& name) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Named {
        const char* name;
        int chipType;
    };
    static constexpr Named kNames[] = {
        {"q5", chip::kQ5},       {"ata5555", chip::kQ5}, {"ata5577", chip::kAta5577},
        {"m2", chip::kM2},       {"ata5575", chip::kM2}, {"sic7888", chip::kSic7888},
        {"tl008", chip::kTl008}, {"3", chip::kQ5},       {"9", chip::kAta5577},
        {"11", chip::kM2},       {"12", chip::kSic7888}, {"13", chip::kT55xx13},
        {"17", chip::kTl008},    {"21", chip::kT55xx21},
    };
    for (const Named& entry : kNames) {
        if (lower == entry.name) return entry.chipType;
    }
    return std::nullopt;
}

}  // namespace vsim
