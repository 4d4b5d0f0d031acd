#include "Field.h"

#include <cstdio>
#include <utility>

#include "Transponder.h"
#include "cards/CardFormat.h"

namespace vsim {

namespace {

std::string Hex(uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string HexBytes(const uint8_t* data, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) text += Hex(data[i], 2);
    return text;
}

// The card formats whose length markers and parity bits the word satisfies.
std::string Formats(uint64_t word) {
    std::string text;
    for (int format : {vellf::kCardFormat26, vellf::kCardFormat34, vellf::kCardFormat34NC,
                       vellf::kCardFormat35, vellf::kCardFormat36, vellf::kCardFormat37}) {
        if (vellf::DecodeCardWord(format, word).status != vellf::kCardOk) continue;
        text += (text.empty() ? "" : ",") + std::to_string(format);
    }
    return text.empty() ? "none" : text;
}

}  // namespace

Field::Field() = default;
Field::~Field() = default;
Field::Field(Field&&) noexcept = default;
Field& Field::operator=(Field&&) noexcept = default;

Field::Field(const Field& other)
    : m_transponder(other.m_transponder ? other.m_transponder->Clone() : nullptr) {}

Field& Field::operator=(const Field& other) {
    if (this != &other)
        m_transponder = other.m_transponder ? other.m_transponder->Clone() : nullptr;
    return *this;
}

void Field::Place(std::unique_ptr<Transponder> transponder) {
    m_transponder = std::move(transponder);
    if (m_transponder) m_transponder->PowerUp();
}

void Field::Remove() {
    m_transponder.reset();
}

std::optional<TransponderSnapshot> Field::Snapshot() const {
    if (!m_transponder) return std::nullopt;
    return m_transponder->Snapshot();
}

std::string Describe(const std::optional<TransponderSnapshot>& snapshot) {
    if (!snapshot) return "empty";
    const TransponderSnapshot& s = *snapshot;
    std::string text = s.model;
    if (s.rawCoding >= 0) return text + " data " + HexBytes(s.rawData.data(), s.rawData.size());
    text += " type " + std::to_string(s.chipType);
    if (s.id) text += " id " + HexBytes(s.id->data(), s.id->size());
    text += s.cardWord ? " card " + Hex(*s.cardWord, 11) + " formats " + Formats(*s.cardWord)
                       : " card none";
    text += " memory";
    for (size_t unit = 0; unit < s.UnitCount(); ++unit) {
        const uint64_t value = s.unitSize == 4 ? s.BlockValue(unit) : s.memory[unit];
        text += " " + Hex(value, static_cast<int>(2 * s.unitSize));
        if (unit < s.locked.size() && s.locked[unit]) text += "*";
    }
    return text;
}

}  // namespace vsim
