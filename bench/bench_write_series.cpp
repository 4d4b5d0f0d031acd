// A write series of the station's main window end to end, against the in-process virtual
// reader with its realistic timing while a card feeder lays fresh ATA5577 chips one after
// the other: series time, cards per minute and the ratio to the bound that the cycle time
// and the feeder's pause allow, plus an event-loop stall probe running during the series.
// Each run writes one series with the read-back check after every write switched off and
// one with it on, so that the cost of the check is measured against its own reference. The
// series goes through no card register, an SQLite one or PostgreSQL on loopback (--register).
// With --silent-server the PostgreSQL server's processes are stopped once a number of cards is
// written: the series waits for the register until the answer timeout and stops with the
// reason, and the probe's gaps during that wait are set beside those of the cards before it.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTimerEvent>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CardFeeder.h"
#include "ControlId.h"
#include "FreshChip.h"
#include "OrvexFSKDlg.h"
#include "PgServer.h"
#include "RegisterSettingsStore.h"
#include "Settings.h"
#include "SilentServer.h"
#include "Statistics.h"
#include "Timing.h"
#include "VirtualReader.h"
#include "station/register/CardRegister.h"
#include "vellf.h"

namespace {

using Clock = std::chrono::steady_clock;
using bench::LoadAverage;
using bench::Median;
using bench::Ms;
using bench::Percentile;

constexpr int kChipType = 9;  // ATA5577
constexpr int kWriteSamples = 9;
constexpr double kStallMs = 50.0;
constexpr int kProbeIntervalMs = 2;

// Control ids of the main window.
constexpr int kIdWriteCyclic = 1007;
constexpr int kIdStopAtCount = 1019;
constexpr int kIdStopCount = 1040;
constexpr int kIdCount = 1041;

enum class RegisterKind { Off, SQLite, PostgreSQL };

struct Options {
    int cards = 100;
    int pauseMs = 500;
    int holdMs = static_cast<int>(vsim::CardFeeder::kDefaultHold.count());
    int runs = 3;
    RegisterKind registerKind = RegisterKind::Off;
    int silentAfter = 0;  // cards before the server goes silent; 0: it never does
    int answerSeconds = 2;
};

const char* RegisterName(RegisterKind kind) {
    switch (kind) {
        case RegisterKind::SQLite:
            return "SQLite";
        case RegisterKind::PostgreSQL:
            return "PostgreSQL";
        case RegisterKind::Off:
            break;
    }
    return "off";
}

// Where the series' cards go: each series gets a register of its own (a new file or a new
// database on the one server), since every series starts with the same numbers.
struct RegisterPlace {
    RegisterKind kind = RegisterKind::Off;
    pgtest::PgServer* server = nullptr;
    int series = 0;
};

// Times of one run's reader exchanges, measured on the window's own handle.
struct SdkTimes {
    double detectMs = 0;       // chip identification with a chip on the field
    double detectEmptyMs = 0;  // the same on an empty field (a waiting tick)
    double writeMs = 0;        // a complete 26-bit write to a fresh chip
    double verifyMs = 0;       // reading the card just written back
    double leaveEarlyMs = 0;   // the last field write reaches the chip this long before the end
    double requestWireMs = 0;  // the identification request on the line before the reader acts
};

// The fastest a series can go. A chip is found only on a tick: the tick's identification
// request must reach the reader after the chip was laid down. That tick identifies the chip
// and writes it; the feeder takes it away as soon as the last block write has reached the
// chip (a little before the write call returns, which still waits for the reply) and lays the
// next chip down after the pause. So one card needs the smallest whole number of ticks that
// covers D + (W - L) + P - r. The first chip lies there at the start and is found by the
// first tick, one cycle after it; the series stops when the last write returns. Qt's default
// timers may move a tick by up to 5 % of the cycle, so a short run can end a little early.
struct Bound {
    double coverMs = 0;  // D + (W - L) + H + P - r
    double plainMs = 0;  // D + W + H + P, without the two overlaps
    int ticks = 0;
    double periodMs = 0;
    double totalMs = 0;
};

// The feeder holds each written card H before taking it away (an operator waiting for the
// lamp); the read-back check V runs within that hold, so it lengthens only the last card.
Bound ComputeBound(const SdkTimes& sdk, double cycleMs, double pauseMs, double holdMs, int cards,
                   bool verify) {
    Bound bound;
    bound.plainMs = sdk.detectMs + sdk.writeMs + holdMs + pauseMs;
    bound.coverMs = bound.plainMs - sdk.leaveEarlyMs - sdk.requestWireMs;
    bound.ticks = static_cast<int>(std::ceil(bound.coverMs / cycleMs));
    bound.periodMs = bound.ticks * cycleMs;
    bound.totalMs = cycleMs + (cards - 1) * bound.periodMs + sdk.detectMs + sdk.writeMs +
                    (verify ? sdk.verifyMs : 0);
    return bound;
}

struct Stall {
    double atMs = 0;  // from the series start
    double lengthMs = 0;
    double afterCardMs = -1;  // from the latest completed card, -1 before the first
    int cardsDone = 0;
};

struct RunResult {
    bool ok = false;
    bool verify = false;
    SdkTimes sdk;
    int cycleMs = 0;
    int written = 0;
    int logLines = 0;
    int registerRows = -1;  // the cards the register holds as written; -1 without a register
    double totalMs = 0;
    double cardsPerMinute = 0;
    double periodMs = 0;  // median time between two completed cards
    double tickMs = 0;    // median interval of the window's write timer
    double longestTickMs = 0;
    double firstCardMs = 0;
    // Periods between two cards longer than the bound's by over half a tick: card, length.
    std::vector<std::pair<int, double>> latePeriods;
    Bound bound;
    double ratio = 0;
    double longestGapMs = 0;
    double p99GapMs = 0;
    int gapsOverStall = 0;
    Stall longest;
    std::vector<Stall> stalls;
    // With a silent server: from the silence to the series' stop, and the probe's gaps then.
    double silentStopMs = 0;
    double silentLongestGapMs = 0;
    double silentP99GapMs = 0;
    int silentGaps = 0;
    QString stopReason;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        int* target = nullptr;
        if (std::strcmp(arg, "--cards") == 0)
            target = &options.cards;
        else if (std::strcmp(arg, "--pause") == 0)
            target = &options.pauseMs;
        else if (std::strcmp(arg, "--hold") == 0)
            target = &options.holdMs;
        else if (std::strcmp(arg, "--runs") == 0)
            target = &options.runs;
        else if (std::strcmp(arg, "--silent-server") == 0)
            target = &options.silentAfter;
        else if (std::strcmp(arg, "--answer-timeout") == 0)
            target = &options.answerSeconds;
        if (std::strcmp(arg, "--register") == 0 && i + 1 < argc) {
            const std::string kind = argv[++i];
            if (kind == "off")
                options.registerKind = RegisterKind::Off;
            else if (kind == "sqlite")
                options.registerKind = RegisterKind::SQLite;
            else if (kind == "postgresql")
                options.registerKind = RegisterKind::PostgreSQL;
            else
                return false;
            continue;
        }
        if (target == nullptr || i + 1 >= argc) return false;
        *target = std::atoi(argv[++i]);
    }
    if (options.silentAfter > 0) options.registerKind = RegisterKind::PostgreSQL;
    return options.cards > 0 && options.pauseMs >= 0 && options.holdMs >= 0 && options.runs > 0 &&
           options.silentAfter >= 0 && options.silentAfter < options.cards &&
           options.answerSeconds > 0;
}

// A private settings file, data folder and runtime folder, so that the user's own settings
// and card register stay untouched.
void PrepareEnvironment(const QString& root) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QDir().mkpath(root + "/config");
    QDir().mkpath(root + "/data");
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
    QDir().mkpath(root + "/runtime");
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + "/runtime"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + "/config");
}

// The register settings of the next series; false when its database cannot be made.
bool PrepareRegister(const QString& root, RegisterPlace& place,
                     station::RegisterSettings& settings) {
    ++place.series;
    settings.enabled = place.kind != RegisterKind::Off;
    if (place.kind == RegisterKind::SQLite) {
        settings.kind = station::RegisterSettings::Kind::SQLite;
        settings.file = root + QStringLiteral("/register-%1.sqlite").arg(place.series);
    } else if (place.kind == RegisterKind::PostgreSQL) {
        settings.kind = station::RegisterSettings::Kind::PostgreSQL;
        settings.host = place.server->Host();
        settings.port = place.server->Port();
        settings.database = QStringLiteral("series%1").arg(place.series);
        settings.user = place.server->User();
        if (!place.server->CreateDatabase(settings.database)) {
            std::fprintf(stderr, "no database for the series: %s\n",
                         qPrintable(place.server->Error()));
            return false;
        }
    }
    return true;
}

// The cards the register holds as written.
int CountRegisterRows(const station::RegisterSettings& settings) {
    station::CCardRegister cardRegister(settings, QStringLiteral("bench"));
    const auto rows = cardRegister.List(station::RegisterFilter{});
    if (!rows) {
        std::fprintf(stderr, "the register cannot be read: %s\n",
                     qPrintable(cardRegister.LastError()));
        return 0;
    }
    return static_cast<int>(std::count_if(rows->begin(), rows->end(), [](const auto& row) {
        return row.state == station::RegisterEntry::State::Written;
    }));
}

// Fresh settings for a run: the virtual reader as the interface, no acoustic signals, the
// write log in the scratch folder, the series' register; the cycle time keeps its default.
void PrepareSettings(const QString& root, const std::string& readerPath, bool verify,
                     const station::RegisterSettings& cardRegister) {
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Qor Applikationen", "Orvex-FSK").clear();
    PutSettingString("Port", "Name", QString::fromStdString(readerPath));
    PutSettingInt("Settings", "SoundTyp", 0);
    PutSettingInt("Settings", "Verify", verify ? 1 : 0);
    PutSettingInt("Protokoll", "WriteLogEnable", 1);
    PutSettingString("Protokoll", "WriteLogFileName", root + "/Protokoll_S.txt");
    PutSettingString("Protokoll", "ReadLogFileName", root + "/Protokoll_L.txt");
    QFile::remove(root + "/Protokoll_S.txt");
    StoreRegisterSettings(cardRegister);
}

// Detection and write times of this run on the window's handle, before the series starts:
// each sample lays a fresh chip, identifies it and writes it, as a series tick does.
SdkTimes MeasureSdkTimes(int handle, vsim::ReaderEngine& engine) {
    std::atomic<Clock::rep> lastFieldEvent{0};
    const int observer = engine.AddFieldObserver(
        [&lastFieldEvent] { lastFieldEvent = Clock::now().time_since_epoch().count(); });
    std::vector<double> detect, write, early, verify;
    unsigned char id[8];
    for (int i = 0; i <= kWriteSamples; ++i) {
        engine.PlaceTransponder(vsim::MakeFreshChip(kChipType));
        Clock::time_point start = Clock::now();
        const bool found = LfReadChipId(handle, kChipType, id, sizeof id) >= 4;
        const double detectMs = Ms(Clock::now() - start);
        start = Clock::now();
        const bool written = LfWriteWiegand26(handle, kChipType, 255, 900000 + i, 0) == 0;
        const Clock::time_point end = Clock::now();
        int facility = 0;
        int number = 0;
        const Clock::time_point readStart = Clock::now();
        const bool readBack = LfReadWiegand26(handle, &facility, &number) == 0 &&
                              number == static_cast<int>((900000 + i) & 0xFFFF);
        verify.push_back(Ms(Clock::now() - readStart));
        if (!found || !written || !readBack)
            std::fprintf(stderr, "sample %d: detection %d, write %d, read back %d\n", i, found,
                         written, readBack);
        if (i == 0) continue;  // the first write starts from the reader's initial receive mode
        detect.push_back(detectMs);
        write.push_back(Ms(end - start));
        early.push_back(Ms(end - Clock::time_point(Clock::duration(lastFieldEvent.load()))));
    }
    engine.RemoveFieldObserver(observer);
    engine.RemoveTransponder();

    SdkTimes times;
    times.detectMs = Median(detect);
    times.writeMs = Median(write);
    times.leaveEarlyMs = Median(early);
    times.verifyMs = Median(verify);
    std::vector<double> empty;
    for (int i = 0; i < 5; ++i) {
        engine.ClearRequests();
        const Clock::time_point start = Clock::now();
        LfReadChipId(handle, kChipType, id, sizeof id);
        empty.push_back(Ms(Clock::now() - start));
    }
    times.detectEmptyMs = Median(empty);
    const auto requests = engine.Requests();
    if (!requests.empty()) {
        const auto& last = requests.back();
        times.requestWireMs =
            static_cast<double>(
                vsim::timing::WireTime(last.request.raw.size(), last.lineBaud).count()) /
            1000.0;
    }
    return times;
}

// Notes when the window's write timer fires, whether the tick is handled or falls through.
class TickRecorder : public QObject {
  public:
    explicit TickRecorder(COrvexFSKDlg& dlg) : m_dlg(dlg) { m_dlg.installEventFilter(this); }
    ~TickRecorder() override { m_dlg.removeEventFilter(this); }
    const std::vector<Clock::time_point>& Ticks() const { return m_ticks; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_dlg && event->type() == QEvent::Timer && m_dlg.m_nWriteTimer != 0 &&
            static_cast<QTimerEvent*>(event)->timerId() == m_dlg.m_nWriteTimer)
            m_ticks.push_back(Clock::now());
        return false;
    }

  private:
    COrvexFSKDlg& m_dlg;
    std::vector<Clock::time_point> m_ticks;
};

// Answers any modal window (a failed log write, say) so a run cannot hang; counts them.
class ModalGuard {
  public:
    ModalGuard() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) return;
            ++m_count;
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                std::fprintf(stderr, "message box: %s\n", qPrintable(box->text()));
            else
                std::fprintf(stderr, "dialog: %s\n", qPrintable(modal->windowTitle()));
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start(100);
    }
    int Count() const { return m_count; }

  private:
    QTimer m_timer;
    int m_count = 0;
};

int CountLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    return static_cast<int>(file.readAll().count("\r\n"));
}

RunResult RunSeries(const Options& options, const QString& root, bool verify,
                    RegisterPlace& place) {
    RunResult result;
    result.verify = verify;
    station::RegisterSettings registerSettings;
    if (!PrepareRegister(root, place, registerSettings)) return result;
    vsim::VirtualReader reader;
    reader.Engine().SetVersion("243c");
    if (!reader.Start()) {
        std::fprintf(stderr, "cannot start the virtual reader\n");
        return result;
    }
    reader.Engine().SetRealisticTiming(true);
    PrepareSettings(root, reader.Path(), verify, registerSettings);
    PutSettingInt("Register", "AnswerTimeout", options.answerSeconds);
    vsim::CardFeeder feeder(reader.Engine());
    ModalGuard guard;

    auto dlg = std::make_unique<COrvexFSKDlg>();
    dlg->OnInitDialog();
    dlg->show();
    if (dlg->m_hPort == 0) {
        std::fprintf(stderr, "the window did not connect to the virtual reader\n");
        return result;
    }
    result.cycleMs = dlg->m_nCycleTime;
    result.sdk = MeasureSdkTimes(dlg->m_hPort, reader.Engine());

    auto* toggle = ControlById<QPushButton>(dlg.get(), kIdWriteCyclic);
    auto* stopAtCount = ControlById<QAbstractButton>(dlg.get(), kIdStopAtCount);
    auto* stopCount = ControlById<QLineEdit>(dlg.get(), kIdStopCount);
    auto* count = ControlById<QLineEdit>(dlg.get(), kIdCount);
    if (toggle == nullptr || stopAtCount == nullptr || stopCount == nullptr || count == nullptr) {
        std::fprintf(stderr, "a control of the write series is missing\n");
        return result;
    }
    if (!stopAtCount->isChecked()) stopAtCount->click();
    stopCount->setText(QString::number(options.cards));

    const auto cards = static_cast<unsigned>(options.cards);
    if (!feeder.Start({kChipType, cards, std::chrono::milliseconds(options.pauseMs),
                       std::chrono::milliseconds(options.holdMs)})) {
        std::fprintf(stderr, "the card feeder did not start\n");
        return result;
    }

    // The probe and the series run in the window's event loop; every gap between two probe
    // timeouts is a time in which the window could not react.
    QEventLoop loop;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    bool recording = false;
    Clock::time_point seriesStart, seriesStop, previous;
    std::vector<double> gaps, silentGaps;
    std::vector<Clock::time_point> cardDone;
    std::unique_ptr<pgtest::SilentServer> silence;
    Clock::time_point silenceStart;
    gaps.reserve(static_cast<size_t>(options.cards) * 1000);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!recording) return;
        const Clock::time_point now = Clock::now();
        const double gap = Ms(now - previous);
        if (silence != nullptr) {
            silentGaps.push_back(gap);
            previous = now;
            return;
        }
        gaps.push_back(gap);
        if (gap > kStallMs || gap > result.longest.lengthMs) {
            Stall stall{Ms(previous - seriesStart), gap, -1, static_cast<int>(cardDone.size())};
            if (!cardDone.empty()) stall.afterCardMs = Ms(previous - cardDone.back());
            if (gap > kStallMs) result.stalls.push_back(stall);
            if (gap > result.longest.lengthMs) result.longest = stall;
        }
        previous = now;
    });
    TickRecorder ticks(*dlg);
    QObject::connect(count, &QLineEdit::textChanged, [&](const QString& text) {
        if (!recording || text.toInt() <= 0) return;
        cardDone.push_back(Clock::now());
        // The card is written; its confirmation is the first call the silent server holds.
        if (options.silentAfter > 0 && silence == nullptr &&
            static_cast<int>(cardDone.size()) == options.silentAfter) {
            silence = std::make_unique<pgtest::SilentServer>(place.server->Pid());
            silenceStart = Clock::now();
        }
    });
    QObject::connect(toggle, &QAbstractButton::toggled, [&](bool on) {
        if (on || !recording) return;
        seriesStop = Clock::now();
        // Keep probing a little, so that the rest of the stopping tick is seen too.
        QTimer::singleShot(50, &loop, [&] {
            recording = false;
            loop.quit();
        });
    });
    QTimer::singleShot(20, &loop, [&] {
        seriesStart = previous = Clock::now();
        recording = true;
        toggle->click();
    });
    const int timeoutMs = options.cards * (options.pauseMs + 4 * result.cycleMs + 2000) + 30000;
    bool timedOut = false;
    QTimer::singleShot(timeoutMs, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    probe.start(kProbeIntervalMs);
    loop.exec();
    probe.stop();
    if (silence != nullptr) {
        silence.reset();
        result.silentStopMs = Ms(seriesStop - silenceStart);
        result.silentLongestGapMs =
            silentGaps.empty() ? 0 : *std::max_element(silentGaps.begin(), silentGaps.end());
        result.silentP99GapMs = Percentile(silentGaps, 0.99);
        result.silentGaps = static_cast<int>(silentGaps.size());
        result.stopReason = dlg->m_strStatus;
    }
    if (timedOut) {
        std::fprintf(stderr, "the series did not end within %d ms\n", timeoutMs);
        if (toggle->isChecked()) toggle->click();
        return result;
    }
    feeder.WaitUntilEnded(std::chrono::milliseconds(1000));
    const vsim::CardFeeder::Progress progress = feeder.GetProgress();

    result.written = dlg->m_nCount;
    result.logLines = CountLines(root + "/Protokoll_S.txt");
    if (registerSettings.enabled) result.registerRows = CountRegisterRows(registerSettings);
    result.totalMs = Ms(seriesStop - seriesStart);
    result.cardsPerMinute = result.written * 60000.0 / result.totalMs;
    std::vector<double> periods;
    for (size_t i = 1; i < cardDone.size(); ++i)
        periods.push_back(Ms(cardDone[i] - cardDone[i - 1]));
    result.periodMs = Median(periods);
    std::vector<double> tickIntervals;
    for (size_t i = 1; i < ticks.Ticks().size(); ++i)
        tickIntervals.push_back(Ms(ticks.Ticks()[i] - ticks.Ticks()[i - 1]));
    result.tickMs = Median(tickIntervals);
    if (!tickIntervals.empty())
        result.longestTickMs = *std::max_element(tickIntervals.begin(), tickIntervals.end());
    if (!cardDone.empty()) result.firstCardMs = Ms(cardDone.front() - seriesStart);

    result.bound = ComputeBound(result.sdk, result.cycleMs, options.pauseMs, options.holdMs,
                                options.cards, verify);
    result.ratio = result.totalMs / result.bound.totalMs;
    for (size_t i = 0; i < periods.size(); ++i) {
        if (periods[i] > result.bound.periodMs + result.cycleMs / 2.0)
            result.latePeriods.emplace_back(static_cast<int>(i) + 2, periods[i]);
    }

    result.longestGapMs = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
    result.p99GapMs = Percentile(gaps, 0.99);
    result.gapsOverStall = static_cast<int>(
        std::count_if(gaps.begin(), gaps.end(), [](double gap) { return gap > kStallMs; }));

    if (options.silentAfter > 0) {
        // Stopped at the card whose confirmation the server held, with the reason (the
        // message and the error list), every card before it in the register (that one too
        // once the held call went through after the server answered again).
        result.ok = result.written == options.silentAfter && guard.Count() <= 2 &&
                    result.stopReason.contains(QLatin1String("did not answer")) &&
                    result.registerRows >= result.written - 1 &&
                    result.registerRows <= result.written;
        if (!result.ok)
            std::fprintf(stderr, "silent server: %d written, %d modal, %d in the register: %s\n",
                         result.written, guard.Count(), result.registerRows,
                         qPrintable(result.stopReason));
        return result;
    }
    result.ok = result.written == options.cards && progress.written == cards &&
                progress.state == vsim::CardFeeder::State::Done && guard.Count() == 0 &&
                (result.registerRows < 0 || result.registerRows == result.written);
    if (!result.ok)
        std::fprintf(stderr,
                     "run incomplete: %d written, feeder %s with %u taken away, %d modal, "
                     "%d in the register\n",
                     result.written, vsim::CardFeeder::StateName(progress.state), progress.written,
                     guard.Count(), result.registerRows);
    return result;
}

void PrintSilentRun(int index, const RunResult& r, const Options& options) {
    std::printf(
        "run %d, check %s: %d cards, then the server silent: the series stopped %.0f ms later "
        "(answer timeout %d s); event loop during the silence: longest gap %.1f ms, p99 %.1f ms "
        "(%d gaps); before it: longest %.1f ms, p99 %.1f ms\n",
        index, r.verify ? "on" : "off", r.written, r.silentStopMs, options.answerSeconds,
        r.silentLongestGapMs, r.silentP99GapMs, r.silentGaps, r.longestGapMs, r.p99GapMs);
    std::printf("       reason: %s\n", qPrintable(r.stopReason));
}

// The silent server's wait against the cards before it, medians of the runs.
void PrintSilentSummary(const std::vector<RunResult>& runs, const Options& options) {
    auto median = [&runs](double RunResult::*field) {
        std::vector<double> values;
        for (const RunResult& r : runs) values.push_back(r.*field);
        return Median(values);
    };
    std::vector<double> longestRatio, p99Ratio;
    for (const RunResult& r : runs) {
        longestRatio.push_back(r.silentLongestGapMs / r.longestGapMs);
        p99Ratio.push_back(r.silentP99GapMs / r.p99GapMs);
    }
    std::printf("\n==== silent server after %d cards, answer timeout %d s (medians of %zu runs) ====\n",
                options.silentAfter, options.answerSeconds, runs.size());
    std::printf("  series stopped after the silence  %8.0f ms\n",
                median(&RunResult::silentStopMs));
    std::printf("  longest gap: silent %.1f ms, cards before %.1f ms, ratio %.2f\n",
                median(&RunResult::silentLongestGapMs), median(&RunResult::longestGapMs),
                Median(longestRatio));
    std::printf("  gap p99:     silent %.1f ms, cards before %.1f ms, ratio %.2f\n",
                median(&RunResult::silentP99GapMs), median(&RunResult::p99GapMs),
                Median(p99Ratio));
}

void PrintRun(int index, const RunResult& r) {
    std::printf(
        "run %d, check %s: %d cards in %.0f ms, %.1f cards/min, period %.0f ms (bound %.0f), "
        "ratio %.3f, longest gap %.1f ms, p99 %.1f ms, gaps > %.0f ms: %d, "
        "log lines %d, register rows %d\n",
        index, r.verify ? "on" : "off", r.written, r.totalMs, r.cardsPerMinute, r.periodMs,
        r.bound.periodMs, r.ratio, r.longestGapMs, r.p99GapMs, kStallMs, r.gapsOverStall,
        r.logLines, r.registerRows);
    std::printf(
        "       detection %.1f ms (empty field %.1f ms), write %.1f ms "
        "(card complete %.1f ms before its end), read back %.1f ms\n",
        r.sdk.detectMs, r.sdk.detectEmptyMs, r.sdk.writeMs, r.sdk.leaveEarlyMs, r.sdk.verifyMs);
    std::printf(
        "       first card %.0f ms after the start (bound %.0f), periods over bound + T/2: "
        "%d\n",
        r.firstCardMs, r.cycleMs + r.sdk.detectMs + r.sdk.writeMs,
        static_cast<int>(r.latePeriods.size()));
    for (size_t i = 0; i < r.latePeriods.size() && i < 10; ++i)
        std::printf("       card %d came %.0f ms after the one before\n", r.latePeriods[i].first,
                    r.latePeriods[i].second);
    std::printf("       write timer: median interval %.1f ms, longest %.1f ms\n", r.tickMs,
                r.longestTickMs);
    std::printf(
        "       longest gap at %.0f ms into the series, %d cards done, %.0f ms after "
        "the last\n",
        r.longest.atMs, r.longest.cardsDone, r.longest.afterCardMs);
    for (size_t i = 0; i < r.stalls.size() && i < 10; ++i) {
        const Stall& s = r.stalls[i];
        std::printf("       stall %.1f ms at %.0f ms, %d cards done, %.0f ms after the last\n",
                    s.lengthMs, s.atMs, s.cardsDone, s.afterCardMs);
    }
}

template <typename Get>
double MedianOf(const std::vector<RunResult>& runs, Get get) {
    std::vector<double> values;
    for (const RunResult& run : runs) values.push_back(static_cast<double>(get(run)));
    return Median(values);
}

void PrintSummary(const Options& options, const std::vector<RunResult>& runs) {
    SdkTimes sdk;
    sdk.detectMs = MedianOf(runs, [](const RunResult& r) { return r.sdk.detectMs; });
    sdk.writeMs = MedianOf(runs, [](const RunResult& r) { return r.sdk.writeMs; });
    sdk.leaveEarlyMs = MedianOf(runs, [](const RunResult& r) { return r.sdk.leaveEarlyMs; });
    sdk.requestWireMs = MedianOf(runs, [](const RunResult& r) { return r.sdk.requestWireMs; });
    sdk.verifyMs = MedianOf(runs, [](const RunResult& r) { return r.sdk.verifyMs; });
    const bool verify = runs.front().verify;
    const double cycle = runs.front().cycleMs;
    const double pause = options.pauseMs;
    const double hold = options.holdMs;
    const double last = sdk.detectMs + sdk.writeMs + (verify ? sdk.verifyMs : 0);
    const Bound bound = ComputeBound(sdk, cycle, pause, hold, options.cards, verify);
    const int plainTicks = static_cast<int>(std::ceil(bound.plainMs / cycle));

    std::printf("\n==== read-back check %s ====\n", verify ? "on" : "off");
    std::printf("bound (from the medians of the runs' own measurements):\n");
    std::printf(
        "  T = %.0f ms cycle time; D = %.1f ms chip identification; W = %.1f ms complete\n"
        "  write to a fresh chip (median of %d per run, on the window's handle before the\n"
        "  series); L = %.1f ms from the last block write reaching the chip to the write's\n"
        "  return; r = %.1f ms identification request on the line; H = %.0f ms hold;\n"
        "  P = %.0f ms pause; V = %.1f ms reading the card back (%s).\n",
        cycle, sdk.detectMs, sdk.writeMs, kWriteSamples, sdk.leaveEarlyMs, sdk.requestWireMs, hold,
        pause, sdk.verifyMs, verify ? "done after each write" : "not done");
    std::printf(
        "  A chip is found only on a tick; that tick identifies it (D) and writes it (W).\n"
        "  The feeder takes it away H after the last block write has reached it (L before\n"
        "  the write returns; the read-back V runs within H) and lays the next one P\n"
        "  later; the next tick finds it if it lies there when that tick's request\n"
        "  reaches the reader (r after the tick).\n");
    std::printf(
        "  Per card: smallest whole number of ticks covering D + W - L + H + P - r\n"
        "  = %.1f + %.1f - %.1f + %.0f + %.0f - %.1f = %.1f ms: k = %d ticks = %.0f ms per\n"
        "  card = %.1f cards/min.\n",
        sdk.detectMs, sdk.writeMs, sdk.leaveEarlyMs, hold, pause, sdk.requestWireMs, bound.coverMs,
        bound.ticks, bound.periodMs, 60000.0 / bound.periodMs);
    std::printf("  (Plain D + W + H + P = %.1f ms would give %d ticks%s.)\n", bound.plainMs,
                plainTicks,
                plainTicks == bound.ticks ? ", the same"
                                          : "; the measured period shows the overlaps count");
    std::printf(
        "  Series: the first chip lies there at the start and is found by the first tick,\n"
        "  T after it; the series stops when the last write (and read-back) returns:\n"
        "  T + (N - 1) k T + D + W%s = %.0f + %d x %.0f + %.1f = %.0f ms = %.1f cards/min.\n",
        verify ? " + V" : "", cycle, options.cards - 1, bound.periodMs, last, bound.totalMs,
        options.cards * 60000.0 / bound.totalMs);
    std::printf(
        "  (The margin k T - %.1f ms = %.1f ms is what a late tick or a slower write may\n"
        "  use up before a card needs one tick more.)\n",
        bound.coverMs, bound.periodMs - bound.coverMs);

    std::printf("\nmedians of %d runs:\n", static_cast<int>(runs.size()));
    std::printf("  series time        %8.0f ms   (bound %.0f ms)\n",
                MedianOf(runs, [](const RunResult& r) { return r.totalMs; }),
                MedianOf(runs, [](const RunResult& r) { return r.bound.totalMs; }));
    std::printf("  cards per minute   %8.1f      (bound %.1f)\n",
                MedianOf(runs, [](const RunResult& r) { return r.cardsPerMinute; }),
                MedianOf(runs, [&](const RunResult& r) {
                    return options.cards * 60000.0 / r.bound.totalMs;
                }));
    std::printf("  period per card    %8.0f ms   (bound %.0f ms)\n",
                MedianOf(runs, [](const RunResult& r) { return r.periodMs; }),
                MedianOf(runs, [](const RunResult& r) { return r.bound.periodMs; }));
    std::printf("  ratio actual/bound %8.3f\n",
                MedianOf(runs, [](const RunResult& r) { return r.ratio; }));
    std::printf("  longest gap        %8.1f ms   (event-loop probe every %d ms)\n",
                MedianOf(runs, [](const RunResult& r) { return r.longestGapMs; }),
                kProbeIntervalMs);
    std::printf("  gap p99            %8.1f ms\n",
                MedianOf(runs, [](const RunResult& r) { return r.p99GapMs; }));
    std::printf("  gaps > %.0f ms       %8.0f\n", kStallMs,
                MedianOf(runs, [](const RunResult& r) { return r.gapsOverStall; }));
}

// What the read-back check costs: cards per minute with it and without, their ratio, the
// extra time per card in ticks, and the longest event-loop gap of either.
void PrintComparison(const std::vector<RunResult>& off, const std::vector<RunResult>& on) {
    auto cpm = [](const RunResult& r) { return r.cardsPerMinute; };
    auto period = [](const RunResult& r) { return r.periodMs; };
    auto gap = [](const RunResult& r) { return r.longestGapMs; };
    const double cycle = off.front().cycleMs;
    std::vector<double> ratios;
    for (size_t i = 0; i < off.size() && i < on.size(); ++i)
        ratios.push_back(on[i].cardsPerMinute / off[i].cardsPerMinute);
    double longest = 0;
    for (const auto* runs : {&off, &on})
        for (const RunResult& r : *runs) longest = std::max(longest, r.longestGapMs);
    std::printf("\n==== read-back check: on against off (medians) ====\n");
    std::printf("  cards per minute   off %.1f   on %.1f   ratio on/off %.3f\n", MedianOf(off, cpm),
                MedianOf(on, cpm), Median(ratios));
    std::printf("  period per card    off %.0f ms   on %.0f ms   extra %.2f ticks of %.0f ms\n",
                MedianOf(off, period), MedianOf(on, period),
                (MedianOf(on, period) - MedianOf(off, period)) / cycle, cycle);
    std::printf("  longest gap        off %.1f ms   on %.1f ms   (longest of all runs %.1f ms)\n",
                MedianOf(off, gap), MedianOf(on, gap), longest);
}

}  // namespace

// The offscreen platform says on every resize that it cannot pass size hints on.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--cards N] [--pause MS] [--hold MS] [--runs R] "
                     "[--register off|sqlite|postgresql] [--silent-server CARDS] "
                     "[--answer-timeout S]\n",
                     argv[0]);
        return 2;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    PrepareEnvironment(scratch.path());
    qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    RegisterPlace place;
    place.kind = options.registerKind;
    std::unique_ptr<pgtest::PgServer> server;
    if (place.kind == RegisterKind::PostgreSQL) {
        server = std::make_unique<pgtest::PgServer>();
        if (!server->Start()) {
            std::fprintf(stderr, "the PostgreSQL server did not start: %s\n",
                         qPrintable(server->Error()));
            return 1;
        }
        // The client library takes the password from the environment, as at a station.
        qputenv("PGPASSWORD", server->Password().toUtf8());
        place.server = server.get();
    }

    std::printf(
        "write series: %d fresh ATA5577 chips, feeder hold %d ms and pause %d ms, %d runs "
        "each with the read-back check off and on\n",
        options.cards, options.holdMs, options.pauseMs, options.runs);
    std::printf(
        "virtual reader 243c in-process, realistic timing; signal kind 0 (no sound: "
        "tones play synchronously and would add their length to every card); "
        "write log on; card register %s\n",
        RegisterName(options.registerKind));
    std::printf(
        "machine: shared 2-core machine, other builds and tests may run meanwhile; "
        "load average before: %s\n",
        LoadAverage().c_str());

    // Off and on alternate, so that a change in the machine's load touches both alike.
    std::vector<RunResult> off, on;
    for (int i = 0; i < options.runs; ++i) {
        for (bool verify : {false, true}) {
            std::vector<RunResult>& runs = verify ? on : off;
            runs.push_back(RunSeries(options, scratch.path(), verify, place));
            if (!runs.back().ok) return 1;
            if (options.silentAfter > 0)
                PrintSilentRun(i + 1, runs.back(), options);
            else
                PrintRun(i + 1, runs.back());
            std::fflush(stdout);
        }
    }
    if (options.silentAfter > 0) {
        std::vector<RunResult> all = off;
        all.insert(all.end(), on.begin(), on.end());
        PrintSilentSummary(all, options);
        std::printf("load average after: %s\n", LoadAverage().c_str());
        return 0;
    }

    PrintSummary(options, off);
    PrintSummary(options, on);
    PrintComparison(off, on);
    std::printf("load average after: %s\n", LoadAverage().c_str());
    return 0;
}
