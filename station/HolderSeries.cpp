#include "station/HolderSeries.h"

#include <utility>

#include "station/register/CardRegister.h"

namespace station {

CHolderQueue::CHolderQueue(CCardRegister& cardRegister, QString department)
    : m_register(&cardRegister), m_department(std::move(department)) {}

CHolderQueue::CHolderQueue(std::vector<Holder> holders) : m_holders(std::move(holders)) {}

bool CHolderQueue::Load() {
    if (m_register == nullptr) return true;
    HolderFilter filter;
    filter.department = m_department;
    filter.withoutValidCard = true;
    auto holders = m_register->Holders(filter);
    if (!holders) {
        m_lastError = m_register->LastError();
        return false;
    }
    m_holders = std::move(*holders);
    m_position = 0;
    m_served = m_skipped = 0;
    return true;
}

const Holder* CHolderQueue::Current() const {
    return m_position < m_holders.size() ? &m_holders[m_position] : nullptr;
}

void CHolderQueue::Next() {
    if (m_position >= m_holders.size()) return;
    ++m_position;
    ++m_served;
}

void CHolderQueue::Skip() {
    if (m_position >= m_holders.size()) return;
    ++m_position;
    ++m_skipped;
}

}  // namespace station
