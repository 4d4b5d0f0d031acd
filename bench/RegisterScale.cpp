#include "RegisterScale.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

#include "RegisterFill.h"
#include "station/register/RegisterImport.h"
#include "Statistics.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;
using station::CardFields;
using station::CardRecord;
using station::CCardRegister;
using station::RegisterSettings;

constexpr int kPage = 50;
// The register window's page (CRegisterTableModel::kPageRows), read as the window reads it:
// through the register's own thread of calls.
constexpr int kWindowPage = 200;
constexpr int kChipType = 9;  // ATA5577

struct ScaleTimes {
    double firstCard = 0;  // the series' first card, which finds where the numbers stand
    std::vector<double> series, duplicate, find, byNumber, firstPage, windowPage, count;
};

// A plain connection beside the register's own, for the fill.
bool Fill(const RegisterSettings& settings, std::int64_t rows, QString& error) {
    const QString name = QStringLiteral("bench-fill");
    bool ok = false;
    {
        QSqlDatabase db = registerfill::PlainConnection(settings, name);
        ok = db.isOpen();
        if (!ok) error = db.lastError().text();
        // One number near the end was released: "next free number" must find it.
        if (ok) ok = registerfill::FillRegister(db, rows, rows - 10, error);
        // The server's statistics as its autovacuum would leave them, so that the timing
        // does not run beside that analysis.
        if (ok && settings.kind == RegisterSettings::Kind::PostgreSQL) {
            QSqlQuery analyze(db);
            ok = analyze.exec(QStringLiteral("VACUUM ANALYZE"));
            if (!ok) error = analyze.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

template <typename F>
double Timed(F&& call) {
    const Clock::time_point start = Clock::now();
    call();
    return Ms(Clock::now() - start);
}

CardRecord FillCard(std::int64_t number) {
    CardRecord card;
    card.format = registerfill::kFillFormat;
    card.chipType = kChipType;
    card.fields = CardFields{registerfill::kFillFacility, number, 0};
    card.customer = QString::number(static_cast<long long>(number));
    return card;
}

bool Measure(CCardRegister& cardRegister, std::int64_t rows, int cards, ScaleTimes& times) {
    bool ok = true;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s failed: %s\n", what, qPrintable(cardRegister.LastError()));
        ok = false;
    };
    for (int i = 0; i < cards && ok; ++i) {
        const double ms = Timed([&] {
            CardRecord card = FillCard(1);
            card.uid = QStringLiteral("E1%1").arg(i);
            std::int64_t rowId = 0;
            if (cardRegister.ReserveNextFree(card, false, 1, 1048575, rowId) !=
                station::ReserveResult::Reserved)
                return fail("next free number");
            if (!cardRegister.Confirm(rowId, true, card.uid)) fail("confirm");
        });
        if (i == 0) {
            times.firstCard = ms;
        } else {
            times.series.push_back(ms);
        }
    }
    for (int i = 0; i < cards && ok; ++i) {
        // Spread over the register, so that no cache holds one page.
        const std::int64_t number = 1 + (rows - 20) * i / cards;
        times.duplicate.push_back(Timed([&] {
            std::int64_t rowId = 0;
            std::optional<station::RegisterEntry> earlier;
            if (cardRegister.Reserve(FillCard(number), false, rowId, earlier) !=
                station::ReserveResult::Duplicate)
                fail("duplicate lookup");
        }));
        times.find.push_back(Timed([&] {
            const auto found =
                cardRegister.FindCard(registerfill::kFillFormat, FillCard(number).fields);
            if (!found || found->empty()) fail("find by number");
        }));
        times.byNumber.push_back(Timed([&] {
            station::RegisterFilter filter;
            filter.number = number;
            const auto found = cardRegister.List(filter);
            if (!found || found->empty()) fail("list by number");
        }));
        times.firstPage.push_back(Timed([&] {
            station::RegisterFilter filter;
            filter.limit = kPage;
            if (!cardRegister.List(filter)) fail("first page");
        }));
    }
    return ok;
}

// The window's first page and the exact count of every row, for deciding whether the window
// can afford to show the count.
bool MeasureWindow(const RegisterSettings& settings, int cards, ScaleTimes& times) {
    station::RegisterPtr cardRegister(new CCardRegister(settings, QStringLiteral("bench")));
    cardRegister->RunCallsOnThread(std::chrono::seconds(60), {});
    for (int i = 0; i < cards; ++i) {
        bool ok = true;
        times.windowPage.push_back(Timed([&] {
            station::RegisterFilter filter;
            filter.limit = kWindowPage;
            ok = cardRegister->List(filter).has_value();
        }));
        if (ok) times.count.push_back(Timed([&] { ok = cardRegister->Count({}).has_value(); }));
        if (!ok) {
            std::fprintf(stderr, "window page failed: %s\n", qPrintable(cardRegister->LastError()));
            return false;
        }
    }
    return true;
}

}  // namespace

bool RunScale(const std::vector<ScaleTarget>& targets, const std::vector<std::int64_t>& sizes,
              int cards) {
    const char* names[] = {"series card", "duplicate",   "find card", "list number",
                           "first page",  "window page", "count all"};
    for (const ScaleTarget& target : targets) {
        std::vector<std::vector<double>> medians;
        for (const std::int64_t rows : sizes) {
            RegisterSettings settings;
            QString error;
            if (!target.fresh(rows, settings)) return false;
            CCardRegister cardRegister(settings, QStringLiteral("bench"));
            if (!cardRegister.Open()) {
                std::fprintf(stderr, "%s: %s\n", target.name, qPrintable(cardRegister.LastError()));
                return false;
            }
            const double fillMs = Timed([&] { Fill(settings, rows, error); });
            if (!error.isEmpty()) {
                std::fprintf(stderr, "%s: fill: %s\n", target.name, qPrintable(error));
                return false;
            }
            ScaleTimes times;
            if (!Measure(cardRegister, rows, cards, times)) return false;
            if (!MeasureWindow(settings, cards, times)) return false;
            const std::vector<double> row = {Median(times.series),    Median(times.duplicate),
                                             Median(times.find),      Median(times.byNumber),
                                             Median(times.firstPage), Median(times.windowPage),
                                             Median(times.count)};
            std::printf("%-10s %8lld rows (filled in %.0f ms): first series card %.2f ms",
                        target.name, static_cast<long long>(rows), fillMs, times.firstCard);
            for (size_t i = 0; i < row.size(); ++i) std::printf(", %s %.3f", names[i], row[i]);
            std::printf(" ms (medians of %d)\n", cards);
            std::fflush(stdout);
            medians.push_back(row);
        }
        if (medians.size() < 2) continue;
        std::printf("%-10s ratio %lld / %lld rows:", target.name,
                    static_cast<long long>(sizes.back()), static_cast<long long>(sizes.front()));
        for (size_t i = 0; i < medians.front().size(); ++i)
            std::printf("%s %s %.2f", i == 0 ? "" : ",", names[i],
                        medians.back()[i] / medians.front()[i]);
        std::printf("\n");
    }
    return true;
}

bool RunImportFill(const std::vector<ScaleTarget>& targets, const QString& sourceFile,
                   std::int64_t rows) {
    RegisterSettings source;
    source.file = sourceFile;
    QString error;
    {
        CCardRegister made(source, QStringLiteral("bench"));
        if (!made.Open() || !Fill(source, rows, error)) {
            std::fprintf(stderr, "source: %s %s\n", qPrintable(made.LastError()),
                         qPrintable(error));
            return false;
        }
    }
    station::ImportSource cards;
    bool ok = false;
    const double readMs =
        Timed([&] { ok = station::ReadImportRegisterFile(sourceFile, cards, error); });
    if (!ok) {
        std::fprintf(stderr, "source: %s\n", qPrintable(error));
        return false;
    }
    const auto perSecond = [&](double ms) {
        return static_cast<double>(cards.rows.size()) * 1000 / ms;
    };
    for (const ScaleTarget& target : targets) {
        RegisterSettings settings;
        if (!target.fresh(rows, settings)) return false;
        CCardRegister cardRegister(settings, QStringLiteral("bench"));
        // Made before the clock starts: the import's rows alone are timed.
        if (!cardRegister.Open()) {
            std::fprintf(stderr, "%s: %s\n", target.name, qPrintable(cardRegister.LastError()));
            return false;
        }
        station::ImportReport report;
        const double importMs = Timed([&] { ok = cardRegister.Import(cards, report); });
        if (!ok) {
            std::fprintf(stderr, "%s: %s\n", target.name, qPrintable(cardRegister.LastError()));
            return false;
        }
        std::printf(
            "%-10s import of %zu rows (%zu events): read %.0f ms (%.0f rows/s), "
            "import %.0f ms (%.0f rows/s)\n",
            target.name, cards.rows.size(), cards.events.size(), readMs, perSecond(readMs),
            importMs, perSecond(importMs));
        std::fflush(stdout);
    }
    return true;
}

}  // namespace bench
