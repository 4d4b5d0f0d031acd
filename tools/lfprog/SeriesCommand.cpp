// lfprog series: the station's write series from a terminal. Waits for each new chip,
// writes it with the next number, verifies it, prints a line per card and a progress line,
// logs in the station's write-log layout, and ends at the count, at the end value, at the
// format's largest number, or after the current card on Ctrl-C, telling the next number.
#include <limits>

#include "CardOptions.h"
#include "Commands.h"
#include "Interrupt.h"
#include "Reader.h"
#include "RunReport.h"
#include "station/CardFormatTable.h"
#include "station/WriteRun.h"
#include "vellf.h"

using namespace station;

namespace {

constexpr long long kDefaultCycleMs = 250;

const char* EndReason(SeriesEnd end) {
    switch (end) {
        case SeriesEnd::Count:
            return "count";
        case SeriesEnd::EndValue:
            return "end value";
        case SeriesEnd::Limit:
            return "format limit";
        case SeriesEnd::Duplicate:
            return "duplicate";
        case SeriesEnd::RegisterFailed:
            return "register failed";
        case SeriesEnd::NoFreeNumber:
            return "no free number";
        case SeriesEnd::Running:
            break;
    }
    return "interrupted";
}

void PrintProgress(const COutput& out, int written, int total, long long next) {
    CJson object;
    object.Add("event", "progress").Add("written", written);
    if (total > 0)
        object.Add("total", total);
    else
        object.AddNull("total");
    object.Add("next", next);
    std::string text = "written " + std::to_string(written);
    if (total > 0) text += " of " + std::to_string(total);
    out.Print(object, text + ", next number " + std::to_string(next));
}

}  // namespace

int RunSeries(CommandContext& context) {
    const CCommandLine& line = context.line;
    const COutput& out = context.out;
    CardChoice choice;
    if (const int status = ParseFormatAndChip(line, out, choice)) return status;
    if (const int status = ParseCardFields(line, out, "from", choice)) return status;
    if (line.Has("count") == line.Has("to"))
        return out.Fail(kExitUsage, "give either --count or --to");
    const long long largest = kCardFormats[choice.format].maxCustomer;
    long long count = 0;
    long long to = 0;
    if (const auto text = line.Value("count");
        text && !ParseInteger(*text, 1, std::numeric_limits<int>::max(), count))
        return out.Fail(kExitUsage, "--count takes a number of cards from 1");
    if (const auto text = line.Value("to")) {
        if (!ParseInteger(*text, 0, largest, to))
            return out.Fail(kExitUsage, "end value '" + *text + "' does not fit format " +
                                            kCardFormats[choice.format].commandName + " (0 to " +
                                            std::to_string(largest) + ")");
        if (to < choice.fields.number)
            return out.Fail(kExitUsage, "the end value is smaller than the first number");
    }
    long long cycleMs = kDefaultCycleMs;
    if (const auto text = line.Value("cycle"); text && !ParseInteger(*text, 1, 60000, cycleMs))
        return out.Fail(kExitUsage, "--cycle takes milliseconds from 1 to 60000");

    CInterrupt interrupt;
    CReader reader;
    if (const int status = reader.Open(line, out)) return status;
    CRunReport report(out);
    RunCard card = MakeRunCard(reader.Handle(), choice);
    CWriteRun run(report, card);
    SetWriteOptions(run.options, line);
    run.options.autoIncrement = true;
    run.options.stopAtCount = count > 0;
    run.options.stopCount = static_cast<int>(count);
    run.options.stopAtEnd = line.Has("to");
    run.options.endValue = QString::number(to);
    // The series' own checks stand behind the command line's.
    if (run.CheckSeriesStart() != SeriesRefusal::None)
        return out.Fail(kExitUsage, "the series cannot start with these limits");

    const int total =
        count > 0 ? static_cast<int>(count) : static_cast<int>(to - choice.fields.number + 1);
    report.SetSeries(total);
    LfSetBackgroundMode(reader.Handle(), 1);
    run.StartSeries();
    const std::string waiting = "waiting for chips, first number " +
                                std::to_string(choice.fields.number) + " (Ctrl-C ends the series)";
    out.Note(waiting);
    while (!interrupt.Requested()) {
        report.SetNextNumber(run.Number());
        if (run.SeriesTick() == TickOutcome::Written)
            PrintProgress(out, run.count, total, run.Number());
        if (run.Ended() != SeriesEnd::Running) break;
        interrupt.Wait(static_cast<int>(cycleMs));
    }
    LfSetBackgroundMode(reader.Handle(), 0);

    const long long next = run.Number();
    CJson end;
    end.Add("event", "end")
        .Add("reason", EndReason(run.Ended()))
        .Add("written", run.count)
        .Add("next", next);
    out.Print(end, std::string("series ended (") + EndReason(run.Ended()) +
                       "): " + std::to_string(run.count) + " cards written, next number " +
                       std::to_string(next));
    if (!card.errorLog.isEmpty()) {
        for (const QString& entry : card.errorLog.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            out.Note(entry.toStdString());
    }
    return report.LogFailed() ? kExitFailure : kExitSuccess;
}
