#include "TransponderM2.h"

#include <algorithm>

namespace vsim {

M2Chip::M2Chip() : Transponder(chip::kM2) {}

std::unique_ptr<Transponder> M2Chip::Clone() const {
    return std::make_unique<M2Chip>(*this);
}

TransponderSnapshot M2Chip::Snapshot() const {
    TransponderSnapshot snapshot = BaseSnapshot("ATA5575 M2");
    snapshot.unitSize = 1;
    snapshot.memory.assign(m_memory.begin(), m_memory.end());
    snapshot.locked.assign(kSize, WriteProtected());
    return snapshot;
}

Reply M2Chip::ReadId() const {
    return Reply{status::kOk, {Id().begin(), Id().end()}};
}

int M2Chip::ReceiveMode() const {
    // An M2 not yet set to FSK (as it comes new) answers in receive mode 1, where a
    // station looks for chips to program.
    return (Configuration() & 0x0F) == kFskConfiguration ? 2 : 1;
}

Reply M2Chip::ReadBlocks(int start, int count, int receiveMode) const {
    if (receiveMode != ReceiveMode()) return Reply{status::kNoTransponder, {}};
    if (count < 1 || start < 0 || start + count > static_cast<int>(kSize)) {
        return Reply{status::kBadParameter, {}};
    }
    return Reply{status::kOk, {m_memory.begin() + start, m_memory.begin() + start + count}};
}

Reply M2Chip::WriteBlocks(uint8_t addressByte, const std::vector<uint8_t>& data) {
    if (data.empty()) return Reply{status::kBadLength, {}};
    if (addressByte + data.size() > kSize) return Reply{status::kBadParameter, {}};
    if (WriteProtected()) return Reply{status::kWriteProtected, {}};
    std::copy(data.begin(), data.end(), m_memory.begin() + addressByte);
    return Reply{};
}

std::optional<uint64_t> M2Chip::FskCardWord() const {
    if ((Configuration() & 0x0F) != kFskConfiguration) return std::nullopt;
    uint8_t stream[12];
    for (size_t i = 0; i < sizeof stream; ++i) stream[i] = static_cast<uint8_t>(~m_memory[i]);
    return CardWordOfStream(stream, sizeof stream);
}

void M2Chip::SetByte(size_t address, uint8_t value) {
    if (address < kSize) m_memory[address] = value;
}

}  // namespace vsim
