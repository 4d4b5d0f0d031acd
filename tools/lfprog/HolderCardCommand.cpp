// lfprog issue and lost: a card for one person of the register's holder list. issue writes
// the next free number for a holder; one who has a valid card already gets a second card or a
// replacement only when asked. lost revokes the holder's valid card (reason lost) and writes
// the replacement with the next free number. The holder's personnel number and name are
// printed for the operator, but never reach the write log.
#include <QSettings>
#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CardOptions.h"
#include "Commands.h"
#include "Reader.h"
#include "RegisterChoice.h"
#include "RunReport.h"
#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/WriteRun.h"
#include "station/register/Holders.h"

using namespace station;

namespace {

std::string HolderText(const Holder& holder) {
    return holder.personnelNumber.toStdString() + " " + holder.name.toStdString();
}

// A refusal goes to standard error, which logs keep: it names the holder by the personnel
// number the operator typed, never by name.
std::string RefusedHolderText(const Holder& holder) {
    return "holder " + holder.personnelNumber.toStdString();
}

// The register the holder list is in, and the holder --holder names; kExitSuccess or the
// reported failure.
int FindHolderOf(const CommandContext& context, const char* command,
                 std::unique_ptr<CCardRegister>& cardRegister, Holder& holder) {
    const COutput& out = context.out;
    const auto number = context.line.Value("holder");
    if (!number || QString::fromStdString(*number).trimmed().isEmpty())
        return out.Fail(kExitUsage, std::string(command) + " needs --holder PERSONNEL-NUMBER");
    RegisterSettings settings;
    if (const int status = ChooseRegister(context.line, out, settings)) return status;
    if (const int status = OpenRegister(settings, out, cardRegister)) return status;
    if (!cardRegister)
        return out.Fail(kExitUsage, std::string(command) + " needs the card register; it is off");
    std::optional<Holder> found;
    if (!cardRegister->FindHolder(QString::fromStdString(*number).trimmed(), found))
        return out.Fail(kExitRegister,
                        "the card register (" + cardRegister->Where().toStdString() +
                            ") cannot be read: " + cardRegister->LastError().toStdString());
    if (!found) return out.Fail(kExitFailure, "no holder with personnel number " + *number);
    if (found->leftSince.isValid())
        return out.Fail(kExitFailure,
                        RefusedHolderText(*found) + " has left (since " +
                            found->leftSince.toUTC().toString(Qt::ISODate).toStdString() +
                            "); no card is issued");
    holder = std::move(*found);
    return kExitSuccess;
}

// The facility code the station on this desk writes (its settings file), if it keeps one
// that fits format; file names the settings file.
std::optional<int> StationFacility(int format, std::string& file) {
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             QStringLiteral("Qor Applikationen"), QStringLiteral("Orvex-FSK"));
    file = settings.fileName().toStdString();
    bool number = false;
    const int facility = settings.value(QStringLiteral("Settings/FacilityCode")).toInt(&number);
    if (!number || facility < 0 || facility > kCardFormats[format].maxFacility) return std::nullopt;
    return facility;
}

// Format, chip and the first number the next free number is looked for from; a card the
// holder had lends its format and facility code where the command line names none. A first
// card takes the site's facility code from the station's settings, saying so, and is refused
// without one: facility 0 would open no door.
int ParseHolderCard(const CCommandLine& line, const COutput& out, const RegisterEntry* earlier,
                    CardChoice& choice) {
    if (const int status = ParseFormatAndChip(line, out, choice)) return status;
    if (earlier && !line.Has("format") && IsCardFormat(earlier->format))
        choice.format = earlier->format;
    if (const int status = ParseCardFields(line, out, "from", choice)) return status;
    if (line.Has("facility") || !FormatHasFacility(choice.format)) return kExitSuccess;
    if (earlier) {
        choice.fields.facility = earlier->fields.facility;
        return kExitSuccess;
    }
    std::string file;
    const std::optional<int> facility = StationFacility(choice.format, file);
    if (!facility)
        return out.Fail(kExitUsage,
                        "the holder has no card to take the facility code from and "
                        "the station's settings (" +
                            file + ") keep none: --facility N gives it");
    choice.fields.facility = *facility;
    out.Note("facility " + std::to_string(*facility) + " from the station's settings (" + file +
             ")");
    return kExitSuccess;
}

// Writes the next free number from choice's onto the chip on the reader for holder; card
// carries the holder's choices (second card, replacement). Prints the card written.
int WriteHolderCard(const CommandContext& context, CCardRegister& cardRegister, CReader& reader,
                    const CardChoice& choice, const Holder& holder, RunCard& card,
                    const std::string& failedPrefix) {
    const COutput& out = context.out;
    CRunReport report(out);
    card = [&] {
        RunCard made = MakeRunCard(reader.Handle(), choice);
        made.holder = holder.id;
        made.holderName = holder.name;
        made.secondCard = card.secondCard;
        made.replaces = card.replaces;
        made.replaceReason = card.replaceReason;
        return made;
    }();
    CWriteRun run(report, card);
    run.SetRegister(&cardRegister);
    SetWriteOptions(run.options, context.line);
    run.options.nextFree = true;
    const WriteOutcome outcome = run.WriteOnce();
    CardFields fields = choice.fields;
    fields.number = run.Number();
    if (outcome == WriteOutcome::Unconfirmed) {
        std::string text = failedPrefix + "written but not confirmed in the card register: " +
                           DescribeCard(choice.format, fields);
        if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
        return out.Fail(kExitRegister, text + " (" + report.LastStatus().detail.toStdString() +
                                           "); 'lfprog register resolve' settles it");
    }
    if (outcome != WriteOutcome::Written) {
        const Status& status = report.LastStatus();
        return out.Fail(StatusExitCode(status), failedPrefix + StatusText(status),
                        StatusSdkError(status));
    }
    CJson object;
    object.Add("written", true);
    AddCard(object, choice.format, fields);
    object.Add("chip", ChipCommandName(choice.chipType))
        .Add("uid", card.uid.toStdString())
        .Add("locked", run.options.lock)
        .Add("verified", run.options.verify)
        .Add("personnel_number", holder.personnelNumber.toStdString())
        .Add("name", holder.name.toStdString());
    std::string text = "written: " + DescribeCard(choice.format, fields);
    if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
    if (run.options.lock) text += " locked";
    if (run.options.verify) text += " verified";
    out.Print(object, text + " for " + HolderText(holder));
    if (report.LogFailed())
        return out.Fail(kExitFailure, "the write log line could not be written");
    return kExitSuccess;
}

}  // namespace

int RunIssue(CommandContext& context) {
    const CCommandLine& line = context.line;
    const COutput& out = context.out;
    if (line.Has("replace") && line.Has("second"))
        return out.Fail(kExitUsage, "give either --replace or --second");
    std::unique_ptr<CCardRegister> cardRegister;
    Holder holder;
    if (const int status = FindHolderOf(context, "issue", cardRegister, holder)) return status;
    CardChoice choice;
    const RegisterEntry* valid = holder.validCard ? &*holder.validCard : nullptr;
    // Without a valid card, the holder's newest card (revoked, replaced) lends its facility.
    std::optional<RegisterEntry> latest;
    if (!valid) {
        const auto cards = cardRegister->HolderCards(holder.id);
        if (!cards)
            return out.Fail(kExitRegister,
                            "the card register (" + cardRegister->Where().toStdString() +
                                ") cannot be read: " + cardRegister->LastError().toStdString());
        if (!cards->empty()) latest = cards->front();
    }
    if (const int status = ParseHolderCard(line, out,
                                           valid    ? valid
                                           : latest ? &*latest
                                                    : nullptr,
                                           choice))
        return status;
    RunCard card;
    if (valid) {
        if (!line.Has("replace") && !line.Has("second"))
            return out.Fail(kExitDuplicate,
                            RefusedHolderText(holder) +
                                " has a valid card: " + DescribeCard(valid->format, valid->fields) +
                                " (--replace REASON writes a replacement, --second a second "
                                "card)");
        card.secondCard = line.Has("second");
        if (const auto reason = line.Value("replace")) {
            card.replaces = valid->id;
            card.replaceReason = QString::fromStdString(*reason);
        }
    }
    CReader reader;
    if (const int status = reader.Open(line, out)) return status;
    return WriteHolderCard(context, *cardRegister, reader, choice, holder, card, "");
}

int RunLost(CommandContext& context) {
    const CCommandLine& line = context.line;
    const COutput& out = context.out;
    std::unique_ptr<CCardRegister> cardRegister;
    Holder holder;
    if (const int status = FindHolderOf(context, "lost", cardRegister, holder)) return status;
    if (!holder.validCard)
        return out.Fail(kExitFailure, RefusedHolderText(holder) +
                                          " has no valid card (lfprog issue --holder writes one)");
    // Which of several valid cards was lost only the operator knows.
    const auto cards = cardRegister->HolderCards(holder.id);
    if (!cards)
        return out.Fail(kExitRegister,
                        "the card register (" + cardRegister->Where().toStdString() +
                            ") cannot be read: " + cardRegister->LastError().toStdString());
    std::vector<RegisterEntry> valid;
    std::string validCards;
    for (const RegisterEntry& each : *cards) {
        if (each.state != RegisterEntry::State::Written &&
            each.state != RegisterEntry::State::Unverified)
            continue;
        valid.push_back(each);
        validCards += (validCards.empty() ? "" : ", ") + DescribeCard(each.format, each.fields);
    }
    RegisterEntry lost = *holder.validCard;
    if (const auto number = line.Value("number")) {
        long long wanted = 0;
        if (!ParseInteger(*number, 0, std::numeric_limits<long long>::max(), wanted))
            return out.Fail(kExitUsage, "--number '" + *number + "' is no card number");
        const auto match = std::find_if(valid.begin(), valid.end(), [wanted](const auto& card) {
            return card.fields.number == wanted;
        });
        if (match == valid.end())
            return out.Fail(kExitFailure, RefusedHolderText(holder) +
                                              " has no valid card with number " + *number +
                                              " (valid: " + validCards + ")");
        lost = *match;
    } else if (valid.size() > 1) {
        return out.Fail(kExitUsage, RefusedHolderText(holder) + " has " +
                                        std::to_string(valid.size()) + " valid cards (" +
                                        validCards + "): --number N says which was lost");
    }
    CardChoice choice;
    if (const int status = ParseHolderCard(line, out, &lost, choice)) return status;
    // The reader is opened and a chip looked for before the card is revoked: a wrong port or
    // an empty reader changes nothing.
    CReader reader;
    if (const int status = reader.Open(line, out)) return status;
    {
        const RunCard probe = MakeRunCard(reader.Handle(), choice);
        std::int64_t noEarlierChip = 0;
        QString uid;
        const Detection detected = DetectTransponder(probe.target, noEarlierChip, uid);
        if (detected == Detection::None || detected == Detection::Protected)
            return out.Fail(
                kExitNoCard,
                DescribeCard(lost.format, lost.fields) + " stays valid, nothing revoked: " +
                    (detected == Detection::None ? "no transponder on the reader"
                                                 : "the transponder is write-protected"));
    }
    if (!cardRegister->Revoke(lost.id, RevokeReason::Lost)) {
        const QString refusal = RefusedChange(lost, CardChange::Revoke);
        if (!refusal.isEmpty()) return out.Fail(kExitFailure, refusal.toStdString());
        return out.Fail(kExitRegister,
                        "the card register (" + cardRegister->Where().toStdString() +
                            ") cannot revoke the card: " + cardRegister->LastError().toStdString());
    }
    const std::string lostText = DescribeCard(lost.format, lost.fields);
    CJson revoked;
    revoked.Add("revoked", static_cast<long long>(lost.id)).Add("reason", "lost");
    AddCard(revoked, lost.format, lost.fields);
    out.Print(revoked, "revoked (lost): " + lostText);
    RunCard card;
    // The holder's other valid cards stay theirs: the replacement is one card more.
    card.secondCard = valid.size() > 1;
    // The lost card stays revoked whatever happens to its replacement.
    return WriteHolderCard(context, *cardRegister, reader, choice, holder, card,
                           lostText + " stays revoked (lost), no replacement written: ");
}
