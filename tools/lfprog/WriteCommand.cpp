// lfprog write: writes one card onto the transponder on the reader, reads it back to verify,
// and locks the chip when asked. The card goes through the card register: a number it holds
// already is written again only as a deliberate re-issue (--reissue).
#include "CardOptions.h"
#include "Commands.h"
#include "Reader.h"
#include "RegisterChoice.h"
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
    if (context.line.Has("reason") && !context.line.Has("reissue"))
        return out.Fail(kExitUsage, "--reason goes with --reissue");
    RegisterSettings registerSettings;
    if (const int status = ChooseRegister(context.line, out, registerSettings)) return status;
    // A register that cannot record is reported before the reader is even opened.
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenRegister(registerSettings, out, cardRegister)) return status;

    CReader reader;
    if (const int status = reader.Open(context.line, out)) return status;
    CRunReport report(out);
    report.SetReissue(context.line.Has("reissue"),
                      QString::fromStdString(context.line.Value("reason").value_or("")));
    report.SetOverwrite(context.line.Has("overwrite"));
    RunCard card = MakeRunCard(reader.Handle(), choice);
    CWriteRun run(report, card);
    run.SetRegister(cardRegister.get());
    SetWriteOptions(run.options, context.line);

    const WriteOutcome outcome = run.WriteOnce();
    if (outcome == WriteOutcome::Unconfirmed) {
        // The chip carries the card, but the register still calls its number only reserved.
        std::string text = "written but not confirmed in the card register: " +
                           DescribeCard(choice.format, choice.fields);
        if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
        return out.Fail(kExitRegister,
                        text + " (" + report.LastStatus().detail.toStdString() +
                            "); the register keeps its number reserved until 'lfprog register "
                            "resolve' settles it");
    }
    if (outcome != WriteOutcome::Written) {
        const Status& status = report.LastStatus();
        std::string text = StatusText(status);
        if (status.message == StatusMessage::Duplicate)
            text += " (--reissue writes it again as a replacement card)";
        if (status.message == StatusMessage::ChipCarriesCard)
            text += " (--overwrite writes over it and marks that card replaced)";
        return out.Fail(StatusExitCode(status), text, StatusSdkError(status));
    }
    CJson object;
    object.Add("written", true);
    AddCard(object, choice.format, choice.fields);
    object.Add("chip", ChipCommandName(choice.chipType))
        .Add("uid", card.uid.toStdString())
        .Add("locked", run.options.lock)
        .Add("verified", run.options.verify)
        .Add("reissue", report.Reissued());
    std::string text = "written: " + DescribeCard(choice.format, choice.fields);
    if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
    if (run.options.lock) text += " locked";
    if (run.options.verify) text += " verified";
    if (report.Reissued()) text += " (re-issue)";
    out.Print(object, text);
    if (report.LogFailed())
        return out.Fail(kExitFailure, "the write log line could not be written");
    return kExitSuccess;
}
