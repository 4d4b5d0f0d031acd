// lfprog write: writes one card onto the transponder on the reader, reads it back to verify,
// and locks the chip when asked.
#include "CardOptions.h"
#include "Commands.h"
#include "Reader.h"
#include "RunReport.h"
#include "station/ChipTypeTable.h"
#include "station/WriteRun.h"

using namespace station;

int RunWrite(CommandContext& context) {
    const COutput& out = context.out;
    CardChoice choice;
    if (const int status = ParseFormatAndChip(context.line, out, choice)) return status;
    // Every value is checked before the reader is even opened.
    if (const int status = ParseCardFields(context.line, out, "number", choice)) return status;

    CReader reader;
    if (const int status = reader.Open(context.line, out)) return status;
    CRunReport report(out);
    RunCard card = MakeRunCard(reader.Handle(), choice);
    CWriteRun run(report, card);
    SetWriteOptions(run.options, context.line);

    if (run.WriteOnce() != WriteOutcome::Written) {
        const Status& status = report.LastStatus();
        return out.Fail(StatusExitCode(status), StatusText(status), StatusSdkError(status));
    }
    CJson object;
    object.Add("written", true);
    AddCard(object, choice.format, choice.fields);
    object.Add("chip", ChipCommandName(choice.chipType))
        .Add("uid", card.uid.toStdString())
        .Add("locked", run.options.lock)
        .Add("verified", run.options.verify);
    std::string text = "written: " + DescribeCard(choice.format, choice.fields);
    if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
    if (run.options.lock) text += " locked";
    if (run.options.verify) text += " verified";
    out.Print(object, text);
    if (report.LogFailed())
        return out.Fail(kExitFailure, "the write log line could not be written");
    return kExitSuccess;
}
