// What the benchmarks of the run library's write series share: a series of fresh 26-bit
// ATA5577 cards written and read back by CWriteRun on the in-process virtual reader, behind a
// view that shows nothing but a failure, and the printing of a spread of times.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FreshChip.h"
#include "Statistics.h"
#include "VirtualReader.h"
#include "station/WriteRun.h"
#include "vellf.h"

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

// The options every series benchmark takes: --cards N, --runs R, --direct M.
struct SeriesOptions {
    int cards = 50;
    int runs = 3;
    int direct = 200;
};

// Reads the option at argv[i] (and its value, advancing i) into options; false when it is
// none of them or its value is missing.
inline bool ReadSeriesOption(int argc, char** argv, int& i, SeriesOptions& options) {
    int* target = std::strcmp(argv[i], "--cards") == 0    ? &options.cards
                  : std::strcmp(argv[i], "--runs") == 0   ? &options.runs
                  : std::strcmp(argv[i], "--direct") == 0 ? &options.direct
                                                          : nullptr;
    if (target == nullptr || i + 1 >= argc) return false;
    *target = std::atoi(argv[++i]);
    return true;
}

// Starts the reader with realistic timing and opens its port, then writes one card that is
// not counted: the first write after the port opens changes the chip's receive mode. The
// handle, or 0 on failure.
inline int OpenWarmReader(vsim::VirtualReader& reader, const QString& logPath) {
    reader.Engine().SetVersion("243c");
    if (!reader.Start()) return 0;
    const int handle = LfOpenPort(reader.Path().c_str(), 19200, 0, 1000);
    if (handle <= 0) return 0;
    reader.Engine().SetRealisticTiming(true);
    QuietRunView view;
    station::RunCard card;
    station::CWriteRun run(view, card);
    StartQuietSeries(run, card, handle, 60000, 1, logPath);
    return WriteFreshCard(run, card, reader) >= 0 ? handle : 0;
}

inline void PrintSpread(const char* what, const std::vector<double>& values) {
    std::printf("  %-28s median %7.3f ms  p90 %7.3f  p99 %7.3f  max %7.3f  (%zu)\n", what,
                Median(values), Percentile(values, 0.9), Percentile(values, 0.99),
                Percentile(values, 1.0), values.size());
}

}  // namespace bench
