// What the wait for the stored next number costs per card in a write series: the station's
// write run (CWriteRun) on the in-process virtual reader with its realistic timing, the next
// number going to the settings file through the window's settings writer (a worker thread,
// each write synced to disk). Two series run side by side, one card of each in turn: one
// waits until the number is stored before it writes the chip, the other does not (the
// writer still writes behind it), so that the machine's load touches both alike. The extra
// per card is a waiting card's time less that of the other series' card next to it. The wait
// runs the event loop between short slices, as the window's does; its longest stretch without
// the loop is set beside the wait's whole length, which a wait that blocked (as the window's
// did before) held the loop for. Then the store and its wait alone, without a chip.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "QuietSeries.h"
#include "Settings.h"
#include "SettingsWriter.h"
#include "Statistics.h"
#include "VirtualReader.h"
#include "station/WriteRun.h"
#include "vellf.h"

namespace {

using Clock = std::chrono::steady_clock;
using bench::LoadAverage;
using bench::Median;
using bench::Ms;
using bench::Percentile;
using bench::PrintSpread;

bool ParseOptions(int argc, char** argv, bench::SeriesOptions& options) {
    for (int i = 1; i < argc; ++i) {
        if (!bench::ReadSeriesOption(argc, argv, i, options)) return false;
    }
    // Every series takes its own numbers of the 26-bit format.
    return options.cards > 0 && options.runs > 0 && options.direct >= 0 &&
           options.cards * options.runs * 2 < 60000;
}

// Stores the next number and the count as the window does, through a settings writer of its
// own; waits for the number only when asked to, and notes how long that wait took.
class SettingsView : public bench::QuietRunView {
  public:
    explicit SettingsView(bool wait) : m_wait(wait) {}

    void StoreNextNumber(const QString& number) override {
        m_writer.PutString("Settings", "CustomerNr", number);
    }
    bool WaitUntilNumberStored() override {
        if (!m_wait) return true;
        const Clock::time_point start = Clock::now();
        Clock::time_point lastPump = start;
        double longest = 0;
        const bool stored = m_writer.WaitUntilWritten([&] {
            const Clock::time_point now = Clock::now();
            longest = std::max(longest, Ms(now - lastPump));
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            lastPump = Clock::now();
        });
        const Clock::time_point end = Clock::now();
        waitMs.push_back(Ms(end - start));
        loopGapMs.push_back(std::max(longest, Ms(end - lastPump)));
        return stored;
    }
    void CardWritten(const station::CardRecord&) override {
        m_writer.PutInt("Settings", "Anzahl", ++m_count);
    }

    std::vector<double> waitMs;
    std::vector<double> loopGapMs;  // per wait, the longest time without the event loop

  private:
    const bool m_wait;
    int m_count = 0;
    CSettingsWriter m_writer;
};

// A write series of fresh chips, each written (and read back) by one tick.
struct Series {
    SettingsView view;
    station::RunCard card;
    station::CWriteRun run{view, card};

    Series(int handle, bool wait, std::int64_t from, int cards, const QString& logPath)
        : view(wait) {
        bench::StartQuietSeries(run, card, handle, from, cards, logPath);
    }

    // Lays a fresh chip and writes it; the tick's time, or a negative one on failure.
    double Card(vsim::VirtualReader& reader) { return bench::WriteFreshCard(run, card, reader); }
};

}  // namespace

int main(int argc, char** argv) {
    bench::SeriesOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--cards N] [--runs R] [--direct M]\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    // On the disk like the user's own settings, but a file of its own.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath("config")));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.filePath("config"));
    if (!PutSettingInt("Settings", "Typ", bench::kSeriesFormat)) {
        std::fprintf(stderr, "the settings file cannot be written: %s\n",
                     qPrintable(SettingsFilePath()));
        return 1;
    }
    std::printf("settings file %s\nload average at the start: %s\n",
                qPrintable(SettingsFilePath()), LoadAverage().c_str());

    vsim::VirtualReader reader;
    const QString logPath = scratch.filePath("Protokoll_S.txt");
    const int handle = bench::OpenWarmReader(reader, logPath);
    if (handle <= 0) return 1;
    std::vector<double> waitedMs, plainMs, extraMs, runExtraMs, waitMs, loopGapMs;
    std::int64_t next = 1;
    for (int run = 1; run <= options.runs; ++run) {
        Series waited(handle, true, next, options.cards, logPath);
        Series plain(handle, false, next + options.cards, options.cards, logPath);
        next += 2 * options.cards;
        std::vector<double> runWaited, runPlain;
        for (int i = 0; i < options.cards; ++i) {
            // Each goes first every other card, so that neither always follows the other's
            // settings write.
            double waitedCard = 0, plainCard = 0;
            if (i % 2 == 0) {
                waitedCard = waited.Card(reader);
                plainCard = plain.Card(reader);
            } else {
                plainCard = plain.Card(reader);
                waitedCard = waited.Card(reader);
            }
            if (waitedCard < 0 || plainCard < 0) return 1;
            runWaited.push_back(waitedCard);
            runPlain.push_back(plainCard);
            extraMs.push_back(waitedCard - plainCard);
        }
        waitedMs.insert(waitedMs.end(), runWaited.begin(), runWaited.end());
        plainMs.insert(plainMs.end(), runPlain.begin(), runPlain.end());
        waitMs.insert(waitMs.end(), waited.view.waitMs.begin(), waited.view.waitMs.end());
        loopGapMs.insert(loopGapMs.end(), waited.view.loopGapMs.begin(),
                         waited.view.loopGapMs.end());
        runExtraMs.push_back(Median(runWaited) - Median(runPlain));
        std::printf("run %d: with the wait %.2f ms/card, without %.2f (%+.2f)\n", run,
                    Median(runWaited), Median(runPlain), runExtraMs.back());
        std::fflush(stdout);
    }
    LfClosePort(handle);

    std::printf(
        "%d runs of %d cards per series (26 bit, ATA5577, read-back check and write log on):\n",
        options.runs, options.cards);
    PrintSpread("card with the wait", waitedMs);
    PrintSpread("card without it", plainMs);
    PrintSpread("extra per card", extraMs);
    PrintSpread("the wait itself", waitMs);
    std::printf("  runs' median differences %+.2f to %+.2f ms, ratio of the medians %.4f\n",
                Percentile(runExtraMs, 0.0), Percentile(runExtraMs, 1.0),
                Median(waitedMs) / Median(plainMs));
    std::printf("The event loop during the wait (a blocking wait holds it for the whole wait):\n");
    PrintSpread("longest gap in a wait", loopGapMs);
    std::printf("  ratio to a blocking wait: median %.3f, p99 %.3f, longest %.3f\n",
                Median(loopGapMs) / Median(waitMs),
                Percentile(loopGapMs, 0.99) / Percentile(waitMs, 0.99),
                Percentile(loopGapMs, 1.0) / Percentile(waitMs, 1.0));

    if (options.direct > 0) {
        // The number's write and its wait alone, without a chip.
        CSettingsWriter writer;
        std::vector<double> storeMs;
        for (int i = 0; i < options.direct; ++i) {
            const Clock::time_point start = Clock::now();
            writer.PutString("Settings", "CustomerNr", QString::number(i + 1));
            if (!writer.WaitUntilWritten()) return 1;
            storeMs.push_back(Ms(Clock::now() - start));
        }
        std::printf("Storing the next number and waiting, %d times without a chip:\n",
                    options.direct);
        PrintSpread("store + wait", storeMs);
    }
    std::printf("load average at the end: %s\n", LoadAverage().c_str());
    return 0;
}
