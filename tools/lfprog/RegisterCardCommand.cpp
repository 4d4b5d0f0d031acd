// lfprog register where|find|history|revoke|resolve: one card of the register and its life.
// A card is named by its number, with --format and --facility where several cards carry it;
// find shows the valid card and below it the cards it replaced, history every change of it,
// revoke takes a valid card out of use, and resolve settles a card whose write was never
// confirmed: its chip read back on the reader, or released, or destroyed.
#include <algorithm>
#include <limits>
#include <set>

#include "CardOptions.h"
#include "Commands.h"
#include "Reader.h"
#include "RegisterChoice.h"
#include "RegisterOutput.h"
#include "RunReport.h"
#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/ReadRun.h"

using namespace station;

namespace {

// The number and the optional --format and --facility that name a card.
struct CardQuery {
    std::int64_t number = 0;
    int format = -1;    // -1: any
    int facility = -1;  // -1: any
};

int ParseCardQuery(CommandContext& context, const char* command, CardQuery& query) {
    const COutput& out = context.out;
    if (context.operands.size() != 1)
        return out.Fail(kExitUsage, std::string("register ") + command + " takes one card number");
    if (const int status = ParseCardNumber(out, context.operands[0], query.number)) return status;
    if (const auto name = context.line.Value("format")) {
        query.format = FormatOfCommandName(*name);
        if (query.format < 0) return out.Fail(kExitUsage, "unknown format '" + *name + "'");
    }
    long long facility = -1;
    if (const auto text = context.line.Value("facility");
        text && !ParseInteger(*text, 0, std::numeric_limits<int>::max(), facility))
        return out.Fail(kExitUsage, "facility code '" + *text + "' is not a number from 0");
    query.facility = static_cast<int>(facility);
    return kExitSuccess;
}

std::string QueryText(const CardQuery& query) {
    std::string text = "number " + std::to_string(query.number);
    if (query.format >= 0) text = std::string(kCardFormats[query.format].commandName) + " " + text;
    if (query.facility >= 0) text += " facility " + std::to_string(query.facility);
    return text;
}

int CannotRead(const COutput& out, const CCardRegister& cardRegister) {
    return out.Fail(kExitRegister,
                    "the card register (" + cardRegister.Where().toStdString() +
                        ") cannot be read: " + cardRegister.LastError().toStdString());
}

// Every card the query names, one list per card: the valid row first, then the others newest
// first (a card under either name of its layout is one card). cardRegister is empty for a
// register not made yet.
int FindCards(CCardRegister* cardRegister, const COutput& out, const CardQuery& query,
              std::vector<std::vector<RegisterEntry>>& cards) {
    cards.clear();
    if (cardRegister == nullptr) return kExitSuccess;
    RegisterFilter filter;
    filter.number = query.number;
    const auto rows = cardRegister->List(filter);
    if (!rows) return CannotRead(out, *cardRegister);
    std::set<std::int64_t> seen;
    for (const RegisterEntry& row : *rows) {
        if (seen.count(row.id) || !IsCardFormat(row.format)) continue;
        if (query.format >= 0 && row.format != query.format) continue;
        if (query.facility >= 0 && row.fields.facility != query.facility) continue;
        auto card = cardRegister->FindCard(row.format, row.fields);
        if (!card) return CannotRead(out, *cardRegister);
        for (const RegisterEntry& entry : *card) seen.insert(entry.id);
        if (!card->empty()) cards.push_back(std::move(*card));
    }
    return kExitSuccess;
}

bool IsValid(const RegisterEntry& entry) {
    return entry.state == RegisterEntry::State::Written ||
           entry.state == RegisterEntry::State::Unverified;
}

int NotFound(const COutput& out, const CardQuery& query) {
    return out.Fail(kExitFailure, "no card with " + QueryText(query) + " in the register");
}

// The one card the query names, for a command that changes it; several cards are a usage
// error that lists them.
int OneCard(CommandContext& context, const char* command, std::unique_ptr<CCardRegister>& reg,
            std::vector<RegisterEntry>& card) {
    const COutput& out = context.out;
    CardQuery query;
    if (const int status = ParseCardQuery(context, command, query)) return status;
    if (const int status = OpenReadableRegister(context.line, out, reg)) return status;
    std::vector<std::vector<RegisterEntry>> cards;
    if (const int status = FindCards(reg.get(), out, query, cards)) return status;
    if (cards.empty()) return NotFound(out, query);
    if (cards.size() > 1) {
        for (const auto& each : cards) PrintEntry(out, each.front());
        return out.Fail(kExitUsage, std::to_string(cards.size()) + " cards carry " +
                                        QueryText(query) +
                                        ": name one with --format and --facility");
    }
    card = std::move(cards.front());
    return kExitSuccess;
}

// The register's refusal of a change in its words, or its failure.
int ChangeFailed(const COutput& out, const CCardRegister& cardRegister, const RegisterEntry& entry,
                 CardChange change) {
    const QString refusal = RefusedChange(entry, change);
    if (!refusal.isEmpty()) return out.Fail(kExitFailure, refusal.toStdString());
    return out.Fail(kExitRegister,
                    "the card register (" + cardRegister.Where().toStdString() +
                        ") cannot record the change: " + cardRegister.LastError().toStdString());
}

// Reads the chip on the reader in the card's format; kExitSuccess when it carries the card,
// with its identification in uid.
int ReadBack(CommandContext& context, const RegisterEntry& entry, QString& uid) {
    const COutput& out = context.out;
    CReader reader;
    if (const int status = reader.Open(context.line, out)) return status;
    CRunReport report(out);
    RunCard card;
    const bool knownChip = *ChipCommandName(entry.chipType) != '\0';
    card.target =
        CardTarget{reader.Handle(), entry.format, knownChip ? entry.chipType : LF_CHIP_ATA5577};
    CReadRun run(report, card);
    if (run.ReadOnce() != ReadOutcome::NewCard) {
        const Status& status = report.LastStatus();
        return out.Fail(StatusExitCode(status), StatusText(status), StatusSdkError(status));
    }
    const CardFields found{card.facility, ParseNumber64(card.customer), card.fixed};
    if (!SameCard(entry.format, entry.fields, found))
        return out.Fail(kExitFailure, "the chip on the reader carries " +
                                          DescribeCard(entry.format, found) + ", not " +
                                          DescribeCard(entry.format, entry.fields));
    uid = card.uid;
    return kExitSuccess;
}

}  // namespace

int RunRegisterWhere(CommandContext& context) {
    RegisterSettings settings;
    if (const int status = ChooseRegister(context.line, context.out, settings)) return status;
    const std::string where =
        settings.enabled ? CCardRegister(settings, QStringLiteral("lfprog " LFPROG_VERSION))
                               .Where()
                               .toStdString()
                         : std::string("switched off");
    CJson object;
    object.Add("enabled", settings.enabled).Add("where", where);
    context.out.Print(object, where);
    return kExitSuccess;
}

int RunRegisterFind(CommandContext& context) {
    const COutput& out = context.out;
    CardQuery query;
    if (const int status = ParseCardQuery(context, "find", query)) return status;
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenReadableRegister(context.line, out, cardRegister)) return status;
    std::vector<std::vector<RegisterEntry>> cards;
    if (const int status = FindCards(cardRegister.get(), out, query, cards)) return status;
    if (cards.empty()) return NotFound(out, query);
    for (const auto& card : cards) {
        for (const RegisterEntry& entry : card)
            PrintEntry(out, entry, &entry == &card.front() && IsValid(entry) ? "valid" : "earlier");
    }
    return kExitSuccess;
}

int RunRegisterHistory(CommandContext& context) {
    const COutput& out = context.out;
    std::unique_ptr<CCardRegister> cardRegister;
    std::vector<RegisterEntry> card;
    if (const int status = OneCard(context, "history", cardRegister, card)) return status;
    const auto events = cardRegister->History(card.front().format, card.front().fields);
    if (!events) return CannotRead(out, *cardRegister);
    for (const RegisterEvent& event : *events) {
        CJson object;
        object.Add("card", static_cast<long long>(event.cardId))
            .Add("event", event.kind.toStdString())
            .Add("time", TimeText(event.time))
            .Add("station", event.station.toStdString())
            .Add("operator", event.operatorName.toStdString())
            .Add("reason", event.reason.toStdString())
            .Add("uid", event.uid.toStdString());
        std::string text = TimeText(event.time) + "  card " + std::to_string(event.cardId) + "  " +
                           event.kind.toStdString();
        if (!event.reason.isEmpty()) text += " (" + event.reason.toStdString() + ")";
        if (!event.uid.isEmpty()) text += " uid " + event.uid.toStdString();
        text += "  at " + event.station.toStdString() + " by " + event.operatorName.toStdString();
        out.Print(object, text);
    }
    return kExitSuccess;
}

int RunRegisterRevoke(CommandContext& context) {
    const COutput& out = context.out;
    const auto reasonText = context.line.Value("reason");
    const auto reason =
        reasonText ? RevokeReasonFromText(QString::fromStdString(*reasonText)) : std::nullopt;
    if (!reason)
        return out.Fail(kExitUsage,
                        "register revoke needs --reason lost, stolen, returned or "
                        "destroyed");
    std::unique_ptr<CCardRegister> cardRegister;
    std::vector<RegisterEntry> card;
    if (const int status = OneCard(context, "revoke", cardRegister, card)) return status;
    const RegisterEntry& entry = card.front();
    if (!cardRegister->Revoke(entry.id, *reason))
        return ChangeFailed(out, *cardRegister, entry, CardChange::Revoke);
    CJson object;
    object.Add("revoked", static_cast<long long>(entry.id))
        .Add("reason", RevokeReasonText(*reason).toStdString());
    out.Print(object, "revoked (" + RevokeReasonText(*reason).toStdString() +
                          "): " + DescribeCard(entry.format, entry.fields) + " on chip " +
                          entry.uid.toStdString());
    return kExitSuccess;
}

int RunRegisterResolve(CommandContext& context) {
    const COutput& out = context.out;
    const int ways = static_cast<int>(context.line.Has("read")) +
                     static_cast<int>(context.line.Has("release")) +
                     static_cast<int>(context.line.Has("destroyed"));
    if (ways != 1)
        return out.Fail(kExitUsage,
                        "register resolve takes one of --read, --release "
                        "and --destroyed");
    std::unique_ptr<CCardRegister> cardRegister;
    std::vector<RegisterEntry> card;
    if (const int status = OneCard(context, "resolve", cardRegister, card)) return status;
    // The row to resolve: the one whose write was never confirmed.
    const auto open = std::find_if(card.begin(), card.end(), [](const RegisterEntry& entry) {
        return entry.state == RegisterEntry::State::Reserved ||
               entry.state == RegisterEntry::State::Unverified;
    });
    const RegisterEntry& entry = open != card.end() ? *open : card.front();
    std::string done;
    QString uid;
    if (context.line.Has("read")) {
        // The refusal comes before the reader is opened.
        if (const QString refusal = RefusedChange(entry, CardChange::ResolveConfirmed);
            !refusal.isEmpty())
            return out.Fail(kExitFailure, refusal.toStdString());
        if (const int status = ReadBack(context, entry, uid)) return status;
        if (!cardRegister->ResolveConfirmed(entry.id, uid))
            return ChangeFailed(out, *cardRegister, entry, CardChange::ResolveConfirmed);
        done = "confirmed";
    } else if (context.line.Has("release")) {
        // An unverified card's write went out: its chip may carry the number, and a release
        // would hand it out a second time. Only on the operator's word that the chip was
        // checked.
        if (entry.state == RegisterEntry::State::Unverified && !context.line.Has("chip-checked"))
            return out.Fail(kExitUsage,
                            DescribeCard(entry.format, entry.fields) +
                                " is unverified: its chip may carry it. Read it back (--read "
                                "--port NAME), mark it --destroyed, or release it with "
                                "--chip-checked once the chip is known not to carry it");
        if (!cardRegister->ResolveReleased(entry.id))
            return ChangeFailed(out, *cardRegister, entry, CardChange::ResolveReleased);
        done = "released";
    } else {
        if (!cardRegister->ResolveDestroyed(entry.id))
            return ChangeFailed(out, *cardRegister, entry, CardChange::ResolveDestroyed);
        done = "destroyed";
    }
    CJson object;
    object.Add("resolved", static_cast<long long>(entry.id)).Add("as", done);
    if (!uid.isEmpty()) object.Add("uid", uid.toStdString());
    std::string text = DescribeCard(entry.format, entry.fields) + ": " + done;
    if (!uid.isEmpty()) text += " with chip " + uid.toStdString();
    out.Print(object, text);
    return kExitSuccess;
}
