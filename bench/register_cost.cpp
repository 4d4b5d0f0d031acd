// The card register's cost per card: the station's write series (the run library's CWriteRun,
// as the window and lfprog drive it) on the in-process virtual reader with its realistic
// timing, once without a register and once through each register, in the same run and
// alternating, so that the machine's load touches all alike; the extra time per card is the
// difference of the median card times. Then the register's own Reserve + Confirm per card,
// timed directly. SQLite is a file in a temporary folder (WAL, full sync, as the station
// keeps it); PostgreSQL a server on loopback that the program starts in a temporary folder.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FreshChip.h"
#include "PgServer.h"
#include "VirtualReader.h"
#include "station/CardRegister.h"
#include "station/WriteRun.h"
#include "vellf.h"

namespace {

using Clock = std::chrono::steady_clock;
using station::CCardRegister;
using station::RegisterSettings;

constexpr int kChipType = 9;  // ATA5577
constexpr int kFormat = 0;    // 26 bit
constexpr int kSeriesFacility = 1;

struct Options {
    int cards = 50;
    int runs = 3;
    int direct = 200;
    bool sqlite = true;
    bool postgresql = true;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(std::ceil(p * static_cast<double>(values.size() - 1)))];
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--database") == 0 && i + 1 < argc) {
            const std::string which = argv[++i];
            options.sqlite = which == "sqlite" || which == "both";
            options.postgresql = which == "postgresql" || which == "both";
            if (!options.sqlite && !options.postgresql) return false;
            continue;
        }
        int* target = nullptr;
        if (std::strcmp(arg, "--cards") == 0)
            target = &options.cards;
        else if (std::strcmp(arg, "--runs") == 0)
            target = &options.runs;
        else if (std::strcmp(arg, "--direct") == 0)
            target = &options.direct;
        if (target == nullptr || i + 1 >= argc) return false;
        *target = std::atoi(argv[++i]);
    }
    // Every series takes its own numbers of the 26-bit format.
    return options.cards > 0 && options.runs > 0 && options.direct >= 0 &&
           options.cards * options.runs < 60000;
}

// The series shows nothing; a failed card is reported.
class QuietView : public station::CRunView {
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
    void WaitUntilNumberStored() override {}
    void CardWritten(const station::CardRecord&) override {}
    void ReportLogFailure() override {}
    QString FailedCardEntry(const station::Status&, const station::CardRecord&) override {
        return {};
    }
    QString NotLoggedEntry(const station::CardRecord&, const QDateTime&) override { return {}; }
};

// One register the series go through, or none.
struct Subject {
    const char* name;
    std::unique_ptr<CCardRegister> cardRegister;  // nullptr: the series without a register
    std::vector<double> seriesMedians;            // per run, ms per card
    std::vector<double> extras;                   // per run, against the run without
    std::vector<double> cardTimes;                // every card of every run
};

// A series of fresh chips laid one after the other, each written (and read back) by one
// tick; the time of each tick. Empty when a card was not written.
std::vector<double> RunSeries(vsim::VirtualReader& reader, int handle, CCardRegister* cardRegister,
                              std::int64_t from, int cards, const QString& logPath) {
    QuietView view;
    station::RunCard card;
    card.target = station::CardTarget{handle, kFormat, kChipType};
    card.facility = kSeriesFacility;
    card.customer = QString::number(static_cast<long long>(from));
    station::CWriteRun run(view, card);
    run.options.autoIncrement = true;
    run.options.stopAtCount = true;
    run.options.stopCount = cards;
    run.options.verify = true;
    run.options.logPath = logPath;
    run.SetRegister(cardRegister);
    run.StartSeries();
    std::vector<double> times;
    for (int i = 0; i < cards; ++i) {
        reader.Engine().PlaceTransponder(vsim::MakeFreshChip(kChipType));
        const Clock::time_point start = Clock::now();
        const station::TickOutcome outcome = run.SeriesTick();
        times.push_back(Ms(Clock::now() - start));
        if (outcome != station::TickOutcome::Written) {
            std::fprintf(stderr, "card %d of the series from %lld was not written\n", i,
                         static_cast<long long>(from));
            return {};
        }
    }
    return times;
}

struct DirectTimes {
    std::vector<double> reserve, confirm, both;
};

// Reserve and Confirm of cards that are never written, each number once.
bool TimeDirect(CCardRegister& cardRegister, int facility, int cards, DirectTimes& times) {
    for (int i = 0; i < cards; ++i) {
        station::CardRecord card;
        card.format = kFormat;
        card.chipType = kChipType;
        card.fields = station::CardFields{facility, i + 1, 0};
        card.customer = QString::number(i + 1);
        card.uid = QString::asprintf("E0%014X", static_cast<unsigned>(facility * 100000 + i));
        std::int64_t rowId = 0;
        std::optional<station::RegisterEntry> earlier;
        const Clock::time_point start = Clock::now();
        if (cardRegister.Reserve(card, false, false, rowId, earlier) !=
            station::ReserveResult::Reserved) {
            std::fprintf(stderr, "reserve failed: %s\n", qPrintable(cardRegister.LastError()));
            return false;
        }
        const Clock::time_point reserved = Clock::now();
        if (!cardRegister.Confirm(rowId, true, card.uid)) {
            std::fprintf(stderr, "confirm failed: %s\n", qPrintable(cardRegister.LastError()));
            return false;
        }
        const Clock::time_point end = Clock::now();
        times.reserve.push_back(Ms(reserved - start));
        times.confirm.push_back(Ms(end - reserved));
        times.both.push_back(Ms(end - start));
    }
    return true;
}

void PrintSpread(const char* what, const std::vector<double>& values) {
    std::printf("  %-16s median %7.3f ms  p90 %7.3f  p99 %7.3f  max %7.3f  (%zu)\n", what,
                Median(values), Percentile(values, 0.9), Percentile(values, 0.99),
                Percentile(values, 1.0), values.size());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--cards N] [--runs R] [--direct M] "
                     "[--database sqlite|postgresql|both]\n",
                     argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    // The user's own register and settings stay untouched.
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath("config")));
    std::printf("load average at the start: %s\n", LoadAverage().c_str());

    std::vector<Subject> subjects;
    subjects.push_back({"none", nullptr, {}, {}, {}});
    if (options.sqlite) {
        RegisterSettings settings;
        settings.kind = RegisterSettings::Kind::SQLite;
        settings.file = scratch.filePath("register.sqlite");
        subjects.push_back({"SQLite", std::make_unique<CCardRegister>(settings, "bench"), {}, {}, {}});
    }
    std::unique_ptr<pgtest::PgServer> server;
    if (options.postgresql) {
        server = std::make_unique<pgtest::PgServer>();
        if (!server->Start()) {
            std::fprintf(stderr, "the PostgreSQL server did not start: %s\n",
                         qPrintable(server->Error()));
            return 1;
        }
        // The client library takes the password from the environment, as at a station.
        qputenv("PGPASSWORD", server->Password().toUtf8());
        RegisterSettings settings;
        settings.kind = RegisterSettings::Kind::PostgreSQL;
        settings.host = server->Host();
        settings.port = server->Port();
        settings.database = server->Database();
        settings.user = server->User();
        subjects.push_back({"PostgreSQL", std::make_unique<CCardRegister>(settings, "bench"), {}, {}, {}});
    }
    for (Subject& subject : subjects) {
        if (subject.cardRegister && !subject.cardRegister->Open()) {
            std::fprintf(stderr, "%s: %s\n", subject.name,
                         qPrintable(subject.cardRegister->LastError()));
            return 1;
        }
    }

    vsim::VirtualReader reader;
    reader.Engine().SetVersion("243c");
    if (!reader.Start()) return 1;
    const int handle = LfOpenPort(reader.Path().c_str(), 19200, 0, 1000);
    if (handle <= 0) return 1;
    reader.Engine().SetRealisticTiming(true);
    const QString logPath = scratch.filePath("Protokoll_S.txt");

    std::int64_t next = 1;
    for (int run = 1; run <= options.runs; ++run) {
        std::printf("run %d:", run);
        double reference = 0;
        for (Subject& subject : subjects) {
            const std::vector<double> times =
                RunSeries(reader, handle, subject.cardRegister.get(), next, options.cards, logPath);
            if (times.empty()) return 1;
            next += options.cards;
            const double median = Median(times);
            subject.seriesMedians.push_back(median);
            subject.cardTimes.insert(subject.cardTimes.end(), times.begin(), times.end());
            if (!subject.cardRegister) {
                reference = median;
                std::printf("  %s %.2f ms/card", subject.name, median);
            } else {
                subject.extras.push_back(median - reference);
                std::printf("  %s %.2f (%+.2f)", subject.name, median, median - reference);
            }
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    LfClosePort(handle);

    std::printf("series of %d cards (26 bit, ATA5577, read-back check and write log on), "
                "median of %d runs:\n",
                options.cards, options.runs);
    const double reference = Median(subjects.front().seriesMedians);
    for (const Subject& subject : subjects) {
        if (!subject.cardRegister) {
            std::printf("  %-10s %8.2f ms per card, p90 %.2f, p99 %.2f\n", subject.name, reference,
                        Percentile(subject.cardTimes, 0.9), Percentile(subject.cardTimes, 0.99));
            continue;
        }
        const double median = Median(subject.seriesMedians);
        std::printf("  %-10s %8.2f ms per card, p90 %.2f, p99 %.2f; extra %+.2f ms per card "
                    "(runs: %+.2f to %+.2f), ratio %.4f\n",
                    subject.name, median, Percentile(subject.cardTimes, 0.9),
                    Percentile(subject.cardTimes, 0.99), Median(subject.extras),
                    Percentile(subject.extras, 0.0), Percentile(subject.extras, 1.0),
                    median / reference);
    }

    if (options.direct > 0) {
        std::printf("Reserve + Confirm of %d cards, timed directly:\n", options.direct);
        for (Subject& subject : subjects) {
            if (!subject.cardRegister) continue;
            DirectTimes times;
            if (!TimeDirect(*subject.cardRegister, 2, options.direct, times)) return 1;
            std::printf(" %s\n", subject.name);
            PrintSpread("Reserve+Confirm", times.both);
            PrintSpread("Reserve", times.reserve);
            PrintSpread("Confirm", times.confirm);
        }
    }
    std::printf("load average at the end: %s\n", LoadAverage().c_str());
    return 0;
}
