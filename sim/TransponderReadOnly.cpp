#include "TransponderReadOnly.h"

#include <utility>

namespace vsim {

ReadOnlyCard::ReadOnlyCard(int coding, std::vector<uint8_t> data)
    : Transponder(chip::kNone), m_coding(coding), m_data(std::move(data)) {}

std::unique_ptr<Transponder> ReadOnlyCard::Clone() const {
    return std::make_unique<ReadOnlyCard>(*this);
}

TransponderSnapshot ReadOnlyCard::Snapshot() const {
    TransponderSnapshot snapshot =
        BaseSnapshot(m_coding == coding::kManchester ? "Manchester card" : "Biphase card");
    snapshot.id.reset();
    snapshot.rawData = m_data;
    snapshot.rawCoding = m_coding;
    return snapshot;
}

std::vector<uint8_t> ReadOnlyCard::RawData(int coding) const {
    return coding == m_coding ? m_data : std::vector<uint8_t>{};
}

}  // namespace vsim
