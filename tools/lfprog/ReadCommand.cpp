// lfprog read: reads the card on the reader once, or with --watch every new card once, as
// the station's cyclic read shows them.
#include <optional>

#include "CardOptions.h"
#include "Commands.h"
#include "Interrupt.h"
#include "Reader.h"
#include "RunReport.h"
#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/ReadRun.h"
#include "vellf.h"

using namespace station;

namespace {

void PrintCard(const COutput& out, const RunCard& card) {
    const CardFields fields{card.facility, ParseNumber64(card.customer), card.fixed};
    CJson object;
    AddCard(object, card.target.format, fields);
    object.Add("chip", ChipCommandName(card.target.chipType)).Add("uid", card.uid.toStdString());
    std::string text = DescribeCard(card.target.format, fields);
    if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
    out.Print(object, text);
}

int ReadFailure(const COutput& out, const CRunReport& report) {
    const Status& status = report.LastStatus();
    return out.Fail(StatusExitCode(status), StatusText(status), StatusSdkError(status));
}

}  // namespace

int RunRead(CommandContext& context) {
    const COutput& out = context.out;
    CardChoice choice;
    if (const int status = ParseFormatAndChip(context.line, out, choice)) return status;
    int cycleMs = 0;
    if (const int status = ParseCycle(context.line, out, cycleMs)) return status;
    const bool watch = context.line.Has("watch");

    std::optional<CInterrupt> interrupt;
    if (watch) interrupt.emplace();
    CReader reader;
    if (const int status = reader.Open(context.line, out)) return status;
    CRunReport report(out);
    RunCard card = MakeRunCard(reader.Handle(), choice);
    CReadRun run(report, card);
    run.logPath = QString::fromStdString(LogPath(context.line));

    if (!watch) {
        if (run.ReadOnce() != ReadOutcome::NewCard) return ReadFailure(out, report);
        PrintCard(out, card);
        return report.LogFailed() ? out.Fail(kExitFailure, "the read log line could not be written")
                                  : kExitSuccess;
    }
    LfSetBackgroundMode(reader.Handle(), 1);
    while (!interrupt->Requested()) {
        if (run.ReadTick() == ReadOutcome::NewCard) PrintCard(out, card);
        interrupt->Wait(cycleMs);
    }
    return kExitSuccess;
}
