// What the benchmarks of the run library's write series share: a series of fresh 26-bit
// ATA5577 cards written and read back by CWriteRun on the in-process virtual reader, behind a
// view that shows nothing but a failure, and the printing of a spread of times.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "FreshChip.h"
#include "Statistics.h"
#include "VirtualReader.h"
#include "station/WriteRun.h"

namespace bench {

constexpr int kSeriesChipType = 9;  // ATA5577
constexpr int kSeriesFormat = 0;    // 26 bit
constexpr int kSeriesFacility = 1;

// Shows nothing; a failed card is reported. A benchmark overrides what it times.
class QuietRunView : public station::CRunView {
  public:
    void ShowStatus(const station::Status& status) override {
        if (status.message != station::StatusMessage::None)
            std::fprintf(stderr, "status %d: %s\n", static_cast<int>(status.message),
                         qPrintable(status.detail));
    }
    void ShowLamps(station::LampState) override {}
    void SignalSuccess() override {}
    void SignalFailure() override {}
    void ShowFields() override {}
    void StoreNextNumber(const QString&) override {}
    bool WaitUntilNumberStored() override { return true; }
    void CardWritten(const station::CardRecord&) override {}
    void ReportLogFailure() override {}
    QString FailedCardEntry(const station::Status&, const station::CardRecord&) override {
        return {};
    }
    QString NotLoggedEntry(const station::CardRecord&, const QDateTime&) override { return {}; }
};

// Starts a series of cards numbered from `from` on the reader's handle, each read back and
// logged at logPath.
inline void StartQuietSeries(station::CWriteRun& run, station::RunCard& card, int handle,
                             std::int64_t from, int cards, const QString& logPath) {
    card.target = station::CardTarget{handle, kSeriesFormat, kSeriesChipType};
    card.facility = kSeriesFacility;
    card.customer = QString::number(static_cast<long long>(from));
    run.options.autoIncrement = true;
    run.options.stopAtCount = true;
    run.options.stopCount = cards;
    run.options.verify = true;
    run.options.logPath = logPath;
    run.StartSeries();
}

// Lays a fresh chip and lets one tick write it; the tick's time in milliseconds, or a
// negative one (with a line on stderr) when the card was not written.
inline double WriteFreshCard(station::CWriteRun& run, const station::RunCard& card,
                             vsim::VirtualReader& reader) {
    reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kSeriesChipType));
    const auto start = std::chrono::steady_clock::now();
    const station::TickOutcome outcome = run.SeriesTick();
    const double ms = Ms(std::chrono::steady_clock::now() - start);
    if (outcome == station::TickOutcome::Written) return ms;
    std::fprintf(stderr, "card %s was not written\n", qPrintable(card.customer));
    return -1;
}

inline void PrintSpread(const char* what, const std::vector<double>& values) {
    std::printf("  %-28s median %7.3f ms  p90 %7.3f  p99 %7.3f  max %7.3f  (%zu)\n", what,
                Median(values), Percentile(values, 0.9), Percentile(values, 0.99),
                Percentile(values, 1.0), values.size());
}

}  // namespace bench
