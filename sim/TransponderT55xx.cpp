#include "TransponderT55xx.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "TransponderModes.h"

namespace vsim {

namespace {

constexpr uint8_t kLockBit = 0x80;

std::string ModelName(int chipType) {
    switch (chipType) {
        case chip::kQ5:
            return "ATA5555 (Q5)";
        case chip::kAta5577:
            return "ATA5577";
        case chip::kTl008:
            return "TL008";
        default:
            return "T55xx type " + std::to_string(chipType);
    }
}

}  // namespace

uint32_t T55xxChip::FskConfiguration(int chipType) {
    return chipType == chip::kQ5 ? 0x60018056 : 0x60107060;
}

int T55xxChip::BlockCount(int chipType) {
    switch (chipType) {
        case chip::kQ5:
        case chip::kT55xx13:
            return 8;
        case chip::kAta5577:
            return 12;
        case chip::kTl008:
        case chip::kT55xx21:
            return 16;
        default:
            return 0;
    }
}

T55xxChip::T55xxChip(int chipType)
    : Transponder(chipType),
      m_blocks(static_cast<size_t>(BlockCount(chipType))),
      m_locked(m_blocks.size()) {}

std::unique_ptr<Transponder> T55xxChip::Clone() const {
    return std::make_unique<T55xxChip>(*this);
}

TransponderSnapshot T55xxChip::Snapshot() const {
    TransponderSnapshot snapshot = BaseSnapshot(ModelName(ChipType()));
    for (const Block& block : m_blocks) {
        snapshot.memory.insert(snapshot.memory.end(), block.begin(), block.end());
    }
    snapshot.locked = m_locked;
    return snapshot;
}

Reply T55xxChip::ReadId() const {
    return Reply{status::kOk, {Id().begin(), Id().end()}};
}

bool T55xxChip::PasswordMode() const {
    return ChipType() == chip::kAta5577 && (Configuration() & kPasswordBit) != 0;
}

Reply T55xxChip::ReadBlocks(int start, int count, int receiveMode) const {
    if (PasswordMode()) return Reply{status::kNoTransponder, {}};
    if (!ReadableInMode(ChipType(), Configuration(), receiveMode)) {
        return Reply{status::kNoTransponder, {}};
    }
    if (count < 1 || start < 0 || start + count > static_cast<int>(m_blocks.size())) {
        return Reply{status::kBadParameter, {}};
    }
    Reply reply;
    for (int i = start; i < start + count; ++i) {
        const Block& block = m_blocks[static_cast<size_t>(i)];
        reply.data.insert(reply.data.end(), block.begin(), block.end());
    }
    return reply;
}

Reply T55xxChip::WriteBlocks(uint8_t addressByte, const std::vector<uint8_t>& data) {
    if (PasswordMode()) return Reply{status::kNoTransponder, {}};
    const bool lock = (addressByte & kLockBit) != 0;
    const size_t start = addressByte & ~kLockBit;
    if (data.empty() || data.size() % 4 != 0) return Reply{status::kBadLength, {}};
    const size_t count = data.size() / 4;
    if (start + count > m_blocks.size()) return Reply{status::kBadParameter, {}};
    // The reader checks every block before programming any, so a refused write leaves the
    // chip as it was.
    for (size_t i = start; i < start + count; ++i) {
        if (m_locked[i]) return Reply{status::kWriteProtected, {}};
    }
    for (size_t i = 0; i < count; ++i) {
        std::copy(data.begin() + static_cast<ptrdiff_t>(4 * i),
                  data.begin() + static_cast<ptrdiff_t>(4 * i + 4), m_blocks[start + i].begin());
        if (lock) m_locked[start + i] = true;
    }
    return Reply{};
}

std::optional<uint64_t> T55xxChip::FskCardWord() const {
    const uint32_t configuration =
        PasswordMode() ? Configuration() & ~kPasswordBit : Configuration();
    if (configuration != FskConfiguration(ChipType()) || m_blocks.size() < 4) {
        return std::nullopt;
    }
    // Blocks are stored least significant byte first; the stream runs from the most
    // significant byte of block 1.
    uint8_t stream[12];
    for (size_t block = 1; block <= 3; ++block) {
        for (size_t byte = 0; byte < 4; ++byte) {
            stream[4 * (block - 1) + byte] = m_blocks[block][3 - byte];
        }
    }
    return CardWordOfStream(stream, sizeof stream);
}

void T55xxChip::SetBlock(int block, uint32_t value) {
    if (block < 0 || block >= static_cast<int>(m_blocks.size())) return;
    m_blocks[static_cast<size_t>(block)] = {
        static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

uint32_t T55xxChip::Configuration() const {
    if (m_blocks.empty()) return 0;
    const Block& block = m_blocks[0];
    return static_cast<uint32_t>(block[0]) | static_cast<uint32_t>(block[1]) << 8 |
           static_cast<uint32_t>(block[2]) << 16 | static_cast<uint32_t>(block[3]) << 24;
}

}  // namespace vsim
