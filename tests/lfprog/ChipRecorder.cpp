#include "ChipRecorder.h"

namespace lfprogtest {

QString ChipIdText(const vsim::ChipId& id) {
    std::uint64_t value = 0;
    for (size_t i = id.size(); i-- > 0;) value = (value << 8) | id[i];
    return QString::number(value, 16).toUpper();
}

ChipRecorder::ChipRecorder(vsim::ReaderEngine& engine) : m_engine(engine) {
    m_observer = m_engine.AddFieldObserver([this] { Record(); });
}

ChipRecorder::~ChipRecorder() {
    m_engine.RemoveFieldObserver(m_observer);
}

void ChipRecorder::Record() {
    const auto field = m_engine.FieldSnapshot();
    if (!field || !field->id || !field->cardWord) return;
    std::lock_guard lock(m_mutex);
    m_cards[ChipIdText(*field->id)] = *field->cardWord;
}

std::map<QString, std::uint64_t> ChipRecorder::Cards() const {
    std::lock_guard lock(m_mutex);
    return m_cards;
}

}  // namespace lfprogtest
