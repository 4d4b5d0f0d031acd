#include "chips/CardWriter.h"

#include <array>
#include <vector>

#include "VersionReply.h"
#include "cards/CardFormat.h"
#include "chips/ChipTypes.h"
#include "chips/ReaderCommands.h"

namespace vellf {

namespace {

constexpr int kWriteAttempts = 6;
constexpr int kConfigurationRounds = 6;
constexpr uint32_t kQ5Configuration = 0x60018056;
constexpr uint32_t kT55xxConfiguration = 0x60107060;
constexpr int kM2ConfigurationAddress = 16;
constexpr int kSicDataBlock = 4;
constexpr int kSicConfigurationBlock = 1;

std::vector<uint8_t> LittleEndian(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// One block command to the chip: from here on the chip may carry part of the new card,
// whatever the reader answers.
bool SendBlock(CVel_RW_Port& port, int chipType, int block, const std::vector<uint8_t>& data,
               int lock) {
    port.m_blockCommandSent = 1;
    return WriteBlocks(port, chipType, block, data, lock);
}

// Up to six attempts; a reader that does not answer at all is not asked again.
bool RetriedWrite(CVel_RW_Port& port, int chipType, int block, const std::vector<uint8_t>& data,
                  int lock) {
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (SendBlock(port, chipType, block, data, lock)) return true;
        if (port.LastError() == err::kTimeout) return false;
    }
    return false;
}

// Data blocks first, configuration last: a chip whose data write fails keeps its old
// configuration and stays readable as it was.
bool WriteT55xx(CVel_RW_Port& port, int chipType, uint64_t word, int flags) {
    const std::array<uint32_t, 3> blocks = CardBlocks(word);
    for (int i = 0; i < 3; ++i) {
        if (!RetriedWrite(port, chipType, i + 1, LittleEndian(blocks[i]), flags & 0x01)) {
            return false;
        }
    }
    const std::vector<uint8_t> configuration =
        LittleEndian(chipType == chip::kQ5 ? kQ5Configuration : kT55xxConfiguration);
    const bool extended = port.m_capabilities & caps::kExtendedCommands;
    // Mode 2 is the mode in which the new configuration reads back.
    if (extended) SetReceiveMode(port, 2);
    const int lock = (flags & 0x02) ? 1 : 0;
    for (int round = 0; round < kConfigurationRounds; ++round) {
        if (SendBlock(port, chipType, 0, configuration, lock)) return true;
        if (!extended) return true;
        if (port.LastError() == err::kTimeout) return false;
        // The chip may have taken the configuration although the reader reported a failure.
        std::vector<uint8_t> block0;
        if (ReadBlocks(port, chipType, 0, 4, block0) && block0.size() >= 3 &&
            std::equal(block0.begin(), block0.begin() + 3, configuration.begin())) {
            return true;
        }
    }
    return false;
}

bool WriteAta5575M2(CVel_RW_Port& port, uint64_t word, int flags) {
    std::vector<uint8_t> data;
    for (uint8_t byte : CardDataStream(word)) data.push_back(static_cast<uint8_t>(~byte));
    if (!RetriedWrite(port, chip::kAta5575M2, 0, data, 0)) return false;
    const uint8_t configuration = (flags & 0x01) ? 0x6A : 0x0A;
    if (port.m_capabilities & caps::kExtendedCommands) SetReceiveMode(port, 2);
    return RetriedWrite(port, chip::kAta5575M2, kM2ConfigurationAddress, {configuration}, 0);
}

bool WriteSic7888(CVel_RW_Port& port, uint64_t word, int flags) {
    const std::array<uint8_t, 12> stream = CardDataStream(word);
    const std::vector<uint8_t> data(stream.begin(), stream.end());
    std::vector<uint8_t> id;
    if (!port.ExchangeWithTimeout(kChipIdTimeoutMs, cmd::kChipId, {chip::kSic7888, 0}, &id)) {
        return false;
    }
    std::vector<uint8_t> login = id;
    login.insert(login.begin(), chip::kSic7888);
    std::vector<uint8_t> configuration;
    if (!port.ExchangeWithTimeout(kLoginTimeoutMs, cmd::kLogin, login, &configuration)) {
        return false;
    }
    if (configuration.size() < 3) {
        port.SetLastError(err::kNotPossible);
        return false;
    }
    configuration.resize(4, 0);
    if (!RetriedWrite(port, chip::kSic7888, kSicDataBlock, data, 0)) return false;
    configuration[0] |= 0x24;
    configuration[1] = (flags & 0x02) ? 0x36 : 0x34;
    configuration[2] = (flags & 0x01) ? 0xC0 : 0x00;
    return RetriedWrite(port, chip::kSic7888, kSicConfigurationBlock, configuration, 0);
}

bool IsWritableChip(int chipType) {
    return IsT55xxFamily(chipType) || chipType == chip::kAta5575M2 ||
           chipType == chip::kSic7888;
}

}  // namespace

bool WriteCard(CVel_RW_Port& port, int chipType, int formatCode, uint32_t fieldA,
               uint32_t fieldB, uint32_t fieldC, int flags) {
    port.m_blockCommandSent = 0;
    // An unsupported chip is refused before anything is sent to it.
    if (!IsWritableChip(chipType)) {
        port.SetLastError(err::kChipNotSupported);
        return false;
    }
    if (!FindReceiveMode(port, chipType)) return false;
    const uint64_t word = EncodeCardWord(formatCode, fieldA, fieldB, fieldC);
    if (IsT55xxFamily(chipType)) return WriteT55xx(port, chipType, word, flags);
    if (chipType == chip::kAta5575M2) return WriteAta5575M2(port, word, flags);
    return WriteSic7888(port, word, flags);
}

}  // namespace vellf
