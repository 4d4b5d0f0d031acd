// lfprog series: the station's write series from a terminal. Waits for each new chip,
// writes it with the next number, verifies it, prints a line per card and a progress line,
// logs in the station's write-log layout, and ends at the count, at the end value, at the
// format's largest number, or after the current card on Ctrl-C, telling the next number.
// Every card goes through the card register: the series stops at a number the register
// holds already, and before any chip is written when the register cannot record. With the
// next free number the register hands out the numbers, so several stations can share a
// series.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

#include "CardOptions.h"
#include "Commands.h"
#include "Interrupt.h"
#include "Reader.h"
#include "RegisterChoice.h"
#include "RunReport.h"
#include "station/HolderSeries.h"
#include "station/CardFormatTable.h"
#include "station/WriteRun.h"
#include "vellf.h"

using namespace station;

namespace {

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
        case SeriesEnd::NumberNotStored:
            return "number not stored";
        case SeriesEnd::HoldersServed:
            return "every holder served";
        case SeriesEnd::Running:
            break;
    }
    return "interrupted";
}

// The exit code of a series that ended by itself; a register's refusal is not a success.
ExitCode EndExitCode(SeriesEnd end) {
    switch (end) {
        case SeriesEnd::Duplicate:
            return kExitDuplicate;
        case SeriesEnd::RegisterFailed:
            return kExitRegister;
        case SeriesEnd::NoFreeNumber:
            return kExitNoFreeNumber;
        default:
            return kExitSuccess;
    }
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
    // A series over holders ends with the last holder; --count and --to may end it earlier.
    const bool overHolders = line.Has("holders-without-card");
    if (line.Has("department") && !overHolders)
        return out.Fail(kExitUsage, "--department goes with --holders-without-card");
    if (line.Has("count") && line.Has("to"))
        return out.Fail(kExitUsage, "give either --count or --to");
    if (!overHolders && !line.Has("count") && !line.Has("to"))
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
    int cycleMs = 0;
    if (const int status = ParseCycle(line, out, cycleMs)) return status;

    RegisterSettings registerSettings;
    if (const int status = ChooseRegister(line, out, registerSettings)) return status;

    CInterrupt interrupt;
    // A register that cannot record is reported before the reader is even opened.
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenRegister(registerSettings, out, cardRegister)) return status;
    std::unique_ptr<CHolderQueue> holders;
    if (overHolders) {
        if (!cardRegister)
            return out.Fail(kExitUsage, "--holders-without-card needs the card register; it is off");
        holders = std::make_unique<CHolderQueue>(
            *cardRegister, QString::fromStdString(line.Value("department").value_or("")));
        if (!holders->Load())
            return out.Fail(kExitRegister, "the card register (" +
                                               cardRegister->Where().toStdString() +
                                               ") cannot list its holders: " +
                                               holders->LastError().toStdString());
    }
    CReader reader;
    if (const int status = reader.Open(line, out)) return status;
    CRunReport report(out);
    RunCard card = MakeRunCard(reader.Handle(), choice);
    CWriteRun run(report, card);
    run.SetRegister(cardRegister.get());
    run.SetHolderQueue(holders.get());
    SetWriteOptions(run.options, line);
    run.options.autoIncrement = true;
    run.options.stopAtCount = count > 0;
    run.options.stopCount = static_cast<int>(count);
    run.options.stopAtEnd = line.Has("to");
    run.options.endValue = QString::number(to);
    // The series' own checks stand behind the command line's.
    if (run.CheckSeriesStart() != SeriesRefusal::None)
        return out.Fail(kExitUsage, "the series cannot start with these limits");

    int total =
        count > 0 ? static_cast<int>(count) : static_cast<int>(to - choice.fields.number + 1);
    if (holders) {
        if (!line.Has("count") && !line.Has("to")) total = holders->Remaining();
        total = std::min(total, holders->Remaining());
    }
    report.SetSeries(total);
    LfSetBackgroundMode(reader.Handle(), 1);
    run.StartSeries();
    const std::string waiting = "waiting for chips, " +
                                std::string((registerSettings.enabled && registerSettings.nextFree) ||
                                                    holders
                                                ? "the register's next free number from "
                                                : "first number ") +
                                std::to_string(choice.fields.number) + " (Ctrl-C ends the series)";
    out.Note(waiting);
    // A series over holders with nobody waiting has ended already.
    while (!interrupt.Requested() && run.Ended() == SeriesEnd::Running) {
        report.SetNextNumber(run.Number());
        if (run.SeriesTick() == TickOutcome::Written)
            PrintProgress(out, run.count, total, run.Number());
        if (run.Ended() != SeriesEnd::Running) break;
        interrupt.Wait(cycleMs);
    }
    LfSetBackgroundMode(reader.Handle(), 0);

    const long long next = run.Number();
    const ExitCode endCode = EndExitCode(run.Ended());
    CJson end;
    end.Add("event", "end")
        .Add("reason", EndReason(run.Ended()))
        .Add("written", run.count)
        .Add("next", next);
    // The register's refusal names the earlier card or the reason.
    std::string refusal = endCode != kExitSuccess ? StatusText(report.LastStatus()) : "";
    // Fewer cards than asked for: the line says how many.
    if (run.Ended() == SeriesEnd::NoFreeNumber)
        refusal +=
            ": " + std::to_string(run.count) + " of " + std::to_string(total) + " cards written";
    if (!refusal.empty()) end.Add("error", refusal).Add("exit", static_cast<int>(endCode));
    out.Print(end, std::string("series ended (") + EndReason(run.Ended()) +
                       "): " + std::to_string(run.count) + " cards written, next number " +
                       std::to_string(next));
    if (!refusal.empty() && !out.Json()) std::fprintf(stderr, "lfprog: %s\n", refusal.c_str());
    if (!card.errorLog.isEmpty()) {
        for (const QString& entry : card.errorLog.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            out.Note(entry.toStdString());
    }
    if (endCode != kExitSuccess) return endCode;
    return report.LogFailed() ? kExitFailure : kExitSuccess;
}
