// The card register's cost per card: the station's write series (the run library's CWriteRun,
// as the window and lfprog drive it) on the in-process virtual reader with its realistic
// timing, without a register and through each register side by side, one card of each in
// turn, so that the machine's load touches all alike; the extra time per card is a card's
// time less that of the card without a register just before it, in all and beside the
// chip's write and read-back. Then the register's own Reserve + Confirm per card, timed
// directly. SQLite is a file in a temporary folder (WAL, full sync, as the station
// keeps it); PostgreSQL a server on loopback that the program starts in a temporary folder.
// With --rows 1000,1000000 it measures instead how the register's cost follows its size
// (RegisterScale.h), --cards operations of each kind at each size, and the CSV export's
// resident memory at each size (ExportMemory.h).
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ExportMemory.h"
#include "PgServer.h"
#include "QuietSeries.h"
#include "RegisterScale.h"
#include "Statistics.h"
#include "VirtualReader.h"
#include "station/register/CardRegister.h"
#include "station/WriteRun.h"
#include "vellf.h"

namespace {

using Clock = std::chrono::steady_clock;
using bench::LoadAverage;
using bench::Median;
using bench::kSeriesChipType;
using bench::kSeriesFormat;
using bench::Ms;
using bench::Percentile;
using bench::PrintSpread;
using station::CCardRegister;
using station::RegisterSettings;

struct Options : bench::SeriesOptions {
    bool sqlite = true;
    bool postgresql = true;
    std::vector<std::int64_t> rows;  // register sizes to compare; none: the series timing
    bool import = false;             // with rows: fill the registers through the import instead
};

bool ParseRows(const std::string& text, std::vector<std::int64_t>& rows) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        char* end = nullptr;
        const std::string part = text.substr(at, comma - at);
        const long long value = std::strtoll(part.c_str(), &end, 10);
        if (part.empty() || *end != '\0' || value < 100 || value > 1000000) return false;
        rows.push_back(value);
        at = comma + 1;
    }
    return !rows.empty();
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
        if (std::strcmp(arg, "--import") == 0) {
            options.import = true;
            continue;
        }
        if (std::strcmp(arg, "--rows") == 0 && i + 1 < argc) {
            if (!ParseRows(argv[++i], options.rows)) return false;
            continue;
        }
        if (!bench::ReadSeriesOption(argc, argv, i, options)) return false;
    }
    // Every series takes its own numbers of the 26-bit format.
    return options.cards > 0 && options.runs > 0 && options.direct >= 0 &&
           options.cards * options.runs * 3 < 60000;
}

// Notes when the chip's write starts (the number is stored just before) and when the card
// is written and read back.
class QuietView : public bench::QuietRunView {
  public:
    void StoreNextNumber(const QString&) override { writeStart = Clock::now(); }
    void CardWritten(const station::CardRecord&) override { writeEnd = Clock::now(); }

    Clock::time_point writeStart, writeEnd;
};

// One register the series go through, or none, with the times of its cards.
struct Subject {
    const char* name;
    std::unique_ptr<CCardRegister> cardRegister;  // nullptr: the series without a register
    std::vector<double> cardMs;                   // each card's tick
    std::vector<double> besideMs;  // the tick apart from the chip's write and read-back
    std::vector<double> extraMs;   // cardMs less the card without a register laid just before
    std::vector<double> besideExtraMs;
    std::vector<double> runExtraMs;  // per run: median card time less that without a register
};

// A write series of one subject: fresh chips, each written (and read back) by one tick.
struct Series {
    QuietView view;
    station::RunCard card;
    station::CWriteRun run{view, card};

    Series(int handle, CCardRegister* cardRegister, std::int64_t from, int cards,
           const QString& logPath) {
        run.SetRegister(cardRegister);
        bench::StartQuietSeries(run, card, handle, from, cards, logPath);
    }

    // Lays a fresh chip and writes it; its tick's time and the part beside the chip's write.
    bool Card(vsim::VirtualReader& reader, double& cardMs, double& besideMs) {
        cardMs = bench::WriteFreshCard(run, card, reader);
        besideMs = cardMs - Ms(view.writeEnd - view.writeStart);
        return cardMs >= 0;
    }
};

struct DirectTimes {
    std::vector<double> reserve, confirm, both;
};

// Reserve and Confirm of cards that are never written, each number once.
bool TimeDirect(CCardRegister& cardRegister, int facility, int cards, DirectTimes& times) {
    for (int i = 0; i < cards; ++i) {
        station::CardRecord card;
        card.format = kSeriesFormat;
        card.chipType = kSeriesChipType;
        card.fields = station::CardFields{facility, i + 1, 0};
        card.customer = QString::number(i + 1);
        card.uid = QString::asprintf("E0%014X", static_cast<unsigned>(facility * 100000 + i));
        std::int64_t rowId = 0;
        std::optional<station::RegisterEntry> earlier;
        const Clock::time_point start = Clock::now();
        if (cardRegister.Reserve(card, false, rowId, earlier) !=
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

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--cards N] [--runs R] [--direct M] "
                     "[--database sqlite|postgresql|both] [--rows N,M [--import]]\n",
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
    subjects.push_back({"none", nullptr, {}, {}, {}, {}, {}});
    if (options.sqlite) {
        RegisterSettings settings;
        settings.kind = RegisterSettings::Kind::SQLite;
        settings.file = scratch.filePath("register.sqlite");
        subjects.push_back(
            {"SQLite", std::make_unique<CCardRegister>(settings, "bench"), {}, {}, {}, {}, {}});
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
        subjects.push_back(
            {"PostgreSQL", std::make_unique<CCardRegister>(settings, "bench"), {}, {}, {}, {}, {}});
    }
    if (!options.rows.empty()) {
        std::vector<bench::ScaleTarget> targets;
        int made = 0;
        if (options.sqlite) {
            targets.push_back({"SQLite", [&](std::int64_t rows, RegisterSettings& settings) {
                                   settings.kind = RegisterSettings::Kind::SQLite;
                                   settings.file = scratch.filePath(
                                       QStringLiteral("scale-%1-%2.sqlite").arg(rows).arg(++made));
                                   return true;
                               }});
        }
        if (server) {
            targets.push_back({"PostgreSQL", [&](std::int64_t rows, RegisterSettings& settings) {
                                   const QString name =
                                       QStringLiteral("scale_%1_%2").arg(rows).arg(++made);
                                   settings = subjects.back().cardRegister->Settings();
                                   settings.database = name;
                                   if (server->CreateDatabase(name)) return true;
                                   std::fprintf(stderr, "no database %s: %s\n", qPrintable(name),
                                                qPrintable(server->Error()));
                                   return false;
                               }});
        }
        bool ok = true;
        if (options.import) {
            for (const std::int64_t rows : options.rows) {
                const QString source =
                    scratch.filePath(QStringLiteral("source-%1.sqlite").arg(rows));
                ok = ok && bench::RunImportFill(targets, source, rows);
            }
        } else {
            ok = bench::RunScale(targets, options.rows, options.cards) &&
                 bench::RunExportMemory(targets, options.rows, scratch.path());
        }
        std::printf("load average at the end: %s\n", LoadAverage().c_str());
        return ok ? 0 : 1;
    }
    for (Subject& subject : subjects) {
        if (subject.cardRegister && !subject.cardRegister->Open()) {
            std::fprintf(stderr, "%s: %s\n", subject.name,
                         qPrintable(subject.cardRegister->LastError()));
            return 1;
        }
    }

    vsim::VirtualReader reader;
    const QString logPath = scratch.filePath("Protokoll_S.txt");
    const int handle = bench::OpenWarmReader(reader, logPath);
    if (handle <= 0) return 1;
    std::int64_t next = 1;
    for (int run = 1; run <= options.runs; ++run) {
        // The subjects' series run side by side, one card of each in turn, so that the
        // machine's load touches all alike; each card is compared with the card without a
        // register laid just before it.
        std::vector<std::unique_ptr<Series>> series;
        for (Subject& subject : subjects) {
            series.push_back(std::make_unique<Series>(handle, subject.cardRegister.get(), next,
                                                      options.cards, logPath));
            next += options.cards;
        }
        std::vector<std::vector<double>> runTimes(subjects.size());
        for (int i = 0; i < options.cards; ++i) {
            double plainMs = 0, plainBesideMs = 0;
            for (size_t s = 0; s < subjects.size(); ++s) {
                double cardMs = 0, besideMs = 0;
                if (!series[s]->Card(reader, cardMs, besideMs)) return 1;
                Subject& subject = subjects[s];
                subject.cardMs.push_back(cardMs);
                subject.besideMs.push_back(besideMs);
                runTimes[s].push_back(cardMs);
                if (s == 0) {
                    plainMs = cardMs;
                    plainBesideMs = besideMs;
                } else {
                    subject.extraMs.push_back(cardMs - plainMs);
                    subject.besideExtraMs.push_back(besideMs - plainBesideMs);
                }
            }
        }
        std::printf("run %d:", run);
        const double reference = Median(runTimes[0]);
        for (size_t s = 0; s < subjects.size(); ++s) {
            const double median = Median(runTimes[s]);
            if (s == 0) {
                std::printf("  %s %.2f ms/card", subjects[s].name, median);
            } else {
                subjects[s].runExtraMs.push_back(median - reference);
                std::printf("  %s %.2f (%+.2f)", subjects[s].name, median, median - reference);
            }
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    LfClosePort(handle);

    std::printf(
        "%d runs of %d cards per series (26 bit, ATA5577, read-back check and write log "
        "on):\n",
        options.runs, options.cards);
    for (const Subject& subject : subjects) {
        std::printf(
            "  %-10s card median %.2f ms (p90 %.2f, p99 %.2f), beside the chip's write "
            "%.2f ms\n",
            subject.name, Median(subject.cardMs), Percentile(subject.cardMs, 0.9),
            Percentile(subject.cardMs, 0.99), Median(subject.besideMs));
    }
    const double reference = Median(subjects.front().cardMs);
    for (const Subject& subject : subjects) {
        if (!subject.cardRegister) continue;
        std::printf(
            "  %-10s extra per card: median %+.2f ms (p90 %+.2f), runs %+.2f to %+.2f, "
            "ratio %.4f; beside the chip's write %+.2f ms (p90 %+.2f, p99 %+.2f)\n",
            subject.name, Median(subject.extraMs), Percentile(subject.extraMs, 0.9),
            Percentile(subject.runExtraMs, 0.0), Percentile(subject.runExtraMs, 1.0),
            Median(subject.cardMs) / reference, Median(subject.besideExtraMs),
            Percentile(subject.besideExtraMs, 0.9), Percentile(subject.besideExtraMs, 0.99));
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
