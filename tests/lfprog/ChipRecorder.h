// Watches a virtual reader's field and keeps, for every chip that lay on it, the card word it
// sent last: what each chip carries once the feeder has taken it away, to compare with the
// card register and the write log.
#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <mutex>

#include "ReaderEngine.h"

namespace lfprogtest {

class ChipRecorder {
  public:
    explicit ChipRecorder(vsim::ReaderEngine& engine);
    ~ChipRecorder();
    ChipRecorder(const ChipRecorder&) = delete;
    ChipRecorder& operator=(const ChipRecorder&) = delete;

    // Chip identification as the station prints it -> the card word, for the chips that
    // carry one.
    std::map<QString, std::uint64_t> Cards() const;

  private:
    void Record();

    vsim::ReaderEngine& m_engine;
    int m_observer = 0;
    mutable std::mutex m_mutex;
    std::map<QString, std::uint64_t> m_cards;
};

// A chip identification as the station prints it: the eight bytes as a little-endian number,
// upper-case hexadecimal.
QString ChipIdText(const vsim::ChipId& id);

}  // namespace lfprogtest
