#include "Transponder.h"

#include <atomic>
#include <utility>

#include "cards/CardFormat.h"

namespace vsim {

namespace {

// Identifications start with the chip type and a fixed tail, so that a test's chips are
// recognisable in a hexadecimal dump; the counter makes them unique. Its upper bits are the
// series (a reader's own range), its lower bits count the chips of that series.
constexpr uint8_t kIdTail[] = {0x56, 0x53, 0xE0};
constexpr int kSeriesShift = 20;

std::atomic<uint32_t> g_nextIdCounter{1};

}  // namespace

void StartChipIdSeries(uint32_t series) {
    g_nextIdCounter = ((series % (kChipIdSeriesLast + 1)) << kSeriesShift) | 1;
}

uint32_t ChipIdSeriesOfName(const std::string& name) {
    // FNV-1a: the same name gives the same series on every machine and every run.
    uint32_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return 1 + hash % kChipIdSeriesLast;
}

ChipId NextChipId(int chipType) {
    const uint32_t counter = g_nextIdCounter.fetch_add(1);
    return ChipId{static_cast<uint8_t>(counter),
                  static_cast<uint8_t>(counter >> 8),
                  static_cast<uint8_t>(counter >> 16),
                  static_cast<uint8_t>(counter >> 24),
                  static_cast<uint8_t>(chipType),
                  kIdTail[0],
                  kIdTail[1],
                  kIdTail[2]};
}

uint32_t TransponderSnapshot::BlockValue(size_t block) const {
    const size_t offset = block * 4;
    if (offset + 4 > memory.size()) return 0;
    return static_cast<uint32_t>(memory[offset]) | static_cast<uint32_t>(memory[offset + 1]) << 8 |
           static_cast<uint32_t>(memory[offset + 2]) << 16 |
           static_cast<uint32_t>(memory[offset + 3]) << 24;
}

Transponder::Transponder(int chipType) : m_chipType(chipType), m_id(NextChipId(chipType)) {}

Reply Transponder::ReadId() const {
    return Reply{status::kNoTransponder, {}};
}

Reply Transponder::Login(const std::vector<uint8_t>&) {
    return Reply{status::kNoTransponder, {}};
}

Reply Transponder::ReadBlocks(int, int, int) const {
    return Reply{status::kNoTransponder, {}};
}

Reply Transponder::WriteBlocks(uint8_t, const std::vector<uint8_t>&) {
    return Reply{status::kNoTransponder, {}};
}

std::vector<uint8_t> Transponder::RawData(int) const {
    return {};
}

TransponderSnapshot Transponder::BaseSnapshot(std::string model) const {
    TransponderSnapshot snapshot;
    snapshot.model = std::move(model);
    snapshot.chipType = m_chipType;
    snapshot.id = m_id;
    snapshot.cardWord = FskCardWord();
    return snapshot;
}

std::optional<uint64_t> CardWordOfStream(const uint8_t* stream, size_t size) {
    if (stream == nullptr || size != 12 || stream[0] != vellf::kCardPreamble) return std::nullopt;
    // The coded byte of a nibble: each bit, most significant first, becomes 01 (0) or 10 (1).
    auto nibbleOf = [](uint8_t coded) -> int {
        int nibble = 0;
        for (int bit = 3; bit >= 0; --bit) {
            const int pair = (coded >> (2 * bit)) & 0x3;
            if (pair != 0x1 && pair != 0x2) return -1;
            nibble = nibble << 1 | (pair == 0x2 ? 1 : 0);
        }
        return nibble;
    };
    uint64_t word = 0;
    for (size_t i = 1; i < 12; ++i) {
        const int nibble = nibbleOf(stream[i]);
        if (nibble < 0) return std::nullopt;
        word = word << 4 | static_cast<uint64_t>(nibble);
    }
    return word;
}

}  // namespace vsim
