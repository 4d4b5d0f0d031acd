#include "TransponderSic7888.h"

#include <algorithm>
#include <cstddef>

namespace vsim {

namespace {

constexpr uint8_t kFskMode = 0x34;
constexpr uint8_t kLockConfiguration = 0x02;  // in byte 1
constexpr uint8_t kLockData = 0xC0;           // in byte 2

}  // namespace

Sic7888Chip::Sic7888Chip() : Transponder(chip::kSic7888) {}

std::unique_ptr<Transponder> Sic7888Chip::Clone() const {
    return std::make_unique<Sic7888Chip>(*this);
}

TransponderSnapshot Sic7888Chip::Snapshot() const {
    TransponderSnapshot snapshot = BaseSnapshot("SIC7888");
    for (size_t i = 0; i < kBlockCount; ++i) {
        snapshot.memory.insert(snapshot.memory.end(), m_blocks[i].begin(), m_blocks[i].end());
        snapshot.locked.push_back(BlockLocked(i));
    }
    return snapshot;
}

bool Sic7888Chip::BlockLocked(size_t block) const {
    const Block& configuration = m_blocks[kConfigurationBlock];
    if (block == 0) return true;
    if (block == kConfigurationBlock) return (configuration[1] & kLockConfiguration) != 0;
    return (configuration[2] & kLockData) != 0;
}

Reply Sic7888Chip::ReadId() const {
    return Reply{status::kOk, {Id().begin(), Id().end()}};
}

Reply Sic7888Chip::Login(const std::vector<uint8_t>& id) {
    if (!std::equal(id.begin(), id.end(), Id().begin(), Id().end())) {
        m_loggedIn = false;
        return Reply{status::kAccessDenied, {}};
    }
    m_loggedIn = true;
    const Block& configuration = m_blocks[kConfigurationBlock];
    return Reply{status::kOk, {configuration.begin(), configuration.end()}};
}

Reply Sic7888Chip::ReadBlocks(int start, int count, int) const {
    if (count < 1 || start < 0 || start + count > static_cast<int>(kBlockCount)) {
        return Reply{status::kBadParameter, {}};
    }
    Reply reply;
    for (int i = start; i < start + count; ++i) {
        const Block& block = m_blocks[static_cast<size_t>(i)];
        reply.data.insert(reply.data.end(), block.begin(), block.end());
    }
    return reply;
}

Reply Sic7888Chip::WriteBlocks(uint8_t addressByte, const std::vector<uint8_t>& data) {
    if (!m_loggedIn) return Reply{status::kAccessDenied, {}};
    if (data.empty() || data.size() % 4 != 0) return Reply{status::kBadLength, {}};
    const size_t start = addressByte;
    const size_t count = data.size() / 4;
    if (start + count > kBlockCount) return Reply{status::kBadParameter, {}};
    for (size_t i = start; i < start + count; ++i) {
        if (BlockLocked(i)) return Reply{status::kWriteProtected, {}};
    }
    for (size_t i = 0; i < count; ++i) {
        std::copy(data.begin() + static_cast<ptrdiff_t>(4 * i),
                  data.begin() + static_cast<ptrdiff_t>(4 * i + 4), m_blocks[start + i].begin());
    }
    return Reply{};
}

std::optional<uint64_t> Sic7888Chip::FskCardWord() const {
    if ((m_blocks[kConfigurationBlock][1] & ~kLockConfiguration) != kFskMode) return std::nullopt;
    uint8_t stream[12];
    for (size_t i = 0; i < sizeof stream; ++i) {
        stream[i] = m_blocks[kFirstDataBlock + i / 4][i % 4];
    }
    return CardWordOfStream(stream, sizeof stream);
}

void Sic7888Chip::SetBlock(size_t block, const Block& bytes) {
    if (block < kBlockCount) m_blocks[block] = bytes;
}

}  // namespace vsim
