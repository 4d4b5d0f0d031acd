#include "RegisterModel.h"

#include <algorithm>

namespace registertest {

using station::CardChange;
using station::ReserveResult;

std::vector<std::int64_t> RegisterModel::RowsOf(std::int64_t number) const {
    std::vector<std::int64_t> rows;
    for (const auto& [row, card] : cards)
        if (card.number == number && card.life != Life::Gone) rows.push_back(row);
    return rows;
}

std::int64_t RegisterModel::ValidOf(std::int64_t number) const {
    for (const std::int64_t row : RowsOf(number))
        if (Live(cards.at(row).life)) return row;
    return 0;
}

bool RegisterModel::HolderHasCard(std::int64_t holder) const {
    return std::any_of(cards.begin(), cards.end(), [&](const auto& entry) {
        return entry.second.holder == holder &&
               (Live(entry.second.life) || entry.second.life == Life::Reserved);
    });
}

std::int64_t RegisterModel::HolderValidCard(std::int64_t holder) const {
    for (const auto& [row, card] : cards)
        if (card.holder == holder && Live(card.life)) return row;
    return 0;
}

RegisterModel::Outcome RegisterModel::Expect(std::int64_t row, CardChange change,
                                             std::int64_t replacement) const {
    const auto found = cards.find(row);
    const Life life = found == cards.end() ? Life::Gone : found->second.life;
    const auto refused = [&](const char* words) {
        return Outcome{life, QString::fromLatin1(words)};
    };
    if (life == Life::Gone) {
        // A release that ran before (its reply lost) finds the row gone: done.
        if (change == CardChange::Release || change == CardChange::ResolveReleased)
            return {Life::Gone, {}};
        return refused("is no longer there");
    }
    const bool reserved = life == Life::Reserved;
    // The database holds one valid card per number: a reservation left from before the rule
    // (a moved version-1 register) cannot become valid beside another card. Its refusal is
    // the database's, in no words of the register's yet.
    const std::int64_t valid = ValidOf(found->second.number);
    const bool blocked = valid != 0 && valid != row &&
                         (valid != found->second.replaces || cards.at(valid).replacedBy != 0);
    const bool becomesValid = change == CardChange::Confirm ||
                              change == CardChange::HoldUnverified ||
                              change == CardChange::ResolveConfirmed;
    if (becomesValid && blocked && (reserved || life == Life::Unverified) &&
        !(life == Life::Unverified && change == CardChange::HoldUnverified))
        return refused("");
    switch (change) {
        case CardChange::Confirm:
        case CardChange::HoldUnverified:
        case CardChange::Release: {
            const Life after = change == CardChange::Confirm          ? Life::Written
                               : change == CardChange::HoldUnverified ? Life::Unverified
                                                                      : Life::Gone;
            // A repeated outcome changes nothing and is no refusal.
            if (reserved || (life == after && change != CardChange::Release)) return {after, {}};
            return refused("only a reservation takes the write's outcome");
        }
        case CardChange::Replace:
        case CardChange::Revoke:
            if (change == CardChange::Replace && replacement != 0 &&
                found->second.replacedBy == replacement)
                return {life, {}};
            if (Live(life))
                return {change == CardChange::Replace ? Life::Replaced : Life::Revoked, {}};
            if (reserved) return refused("resolve the reservation first");
            return refused("only a re-issue writes it again");
        case CardChange::ResolveConfirmed:
        case CardChange::ResolveReleased:
        case CardChange::ResolveDestroyed:
            if (!reserved && life != Life::Unverified)
                return refused("only a reservation or an unverified card is resolved");
            return {change == CardChange::ResolveConfirmed  ? Life::Written
                    : change == CardChange::ResolveReleased ? Life::Gone
                                                            : Life::Revoked,
                    {}};
        case CardChange::Reissue:
            break;
    }
    return refused("");
}

void RegisterModel::Apply(std::int64_t row, CardChange change, std::int64_t replacement) {
    const auto found = cards.find(row);
    if (found == cards.end()) return;
    Card& card = found->second;
    const Life before = card.life;
    card.life = Expect(row, change, replacement).after;
    if (card.life == before) return;
    if (change == CardChange::Replace) card.replacedBy = replacement;
    if (!Live(card.life)) ForgetChips(row);
    // A re-issue that reached its chip replaces its earlier card once; a revoked card stays
    // revoked.
    const bool reachedChip = change == CardChange::Confirm ||
                             change == CardChange::HoldUnverified ||
                             change == CardChange::ResolveConfirmed;
    if (reachedChip && card.replaces != 0) TakePlace(card.replaces, row);
}

void RegisterModel::TakePlace(std::int64_t earlier, std::int64_t row) {
    const auto found = cards.find(earlier);
    // A reservation is no card yet (the operator resolves it); a card replaced before keeps
    // its link.
    if (found == cards.end() || found->second.replacedBy != 0 || found->first == row ||
        found->second.life == Life::Gone || found->second.life == Life::Reserved ||
        found->second.life == Life::Replaced)
        return;
    found->second.replacedBy = row;
    if (Live(found->second.life)) {
        found->second.life = Life::Replaced;
        ForgetChips(earlier);
    }
}

ReserveResult RegisterModel::ExpectReissue(std::int64_t number, std::int64_t replaces) const {
    const std::vector<std::int64_t> rows = RowsOf(number);
    if (rows.empty()) return ReserveResult::Failed;
    // Another station is writing the number now.
    if (cards.at(rows.back()).life == Life::Reserved) return ReserveResult::InProgress;
    const std::int64_t valid = ValidOf(number);
    const std::int64_t earlier = valid != 0 ? valid : rows.back();
    return earlier == replaces ? ReserveResult::Reserved : ReserveResult::Duplicate;
}

const char* RegisterModel::Text(Life life) {
    switch (life) {
        case Life::Reserved:
            return "reserved";
        case Life::Written:
            return "written";
        case Life::Unverified:
            return "unverified";
        case Life::Replaced:
            return "replaced";
        case Life::Revoked:
            return "revoked";
        case Life::Gone:
            break;
    }
    return "gone";
}

RegisterModel::Life RegisterModel::FromText(const QString& state) {
    for (const Life life :
         {Life::Reserved, Life::Written, Life::Unverified, Life::Replaced, Life::Revoked})
        if (state == QLatin1String(Text(life))) return life;
    return Life::Gone;
}

std::optional<RegisterModel::Life> RegisterModel::Fold(
    const std::vector<std::pair<QString, QString>>& events, QString& problem) {
    std::optional<Life> life;
    for (const auto& [kind, reason] : events) {
        if (kind == QLatin1String("reserved") || kind == QLatin1String("reissued")) {
            life = Life::Reserved;
        } else if (kind == QLatin1String("written") || kind == QLatin1String("verified")) {
            life = Life::Written;
        } else if (kind == QLatin1String("unverified")) {
            life = Life::Unverified;
        } else if (kind == QLatin1String("replaced")) {
            // A re-issue links a revoked card without making it valid or replaced.
            if (life != Life::Revoked) life = Life::Replaced;
        } else if (kind == QLatin1String("revoked")) {
            life = Life::Revoked;
        } else if (kind == QLatin1String("released")) {
            life = Life::Gone;
        } else if (kind == QLatin1String("resolved")) {
            if (reason == QLatin1String("confirmed")) {
                life = Life::Written;
            } else if (reason == QLatin1String("released")) {
                life = Life::Gone;
            } else if (reason == QLatin1String("destroyed")) {
                life = Life::Revoked;
            } else {
                problem = QStringLiteral("a resolved event with reason \"%1\"").arg(reason);
                return std::nullopt;
            }
        } else if (kind != QLatin1String("issued to")) {
            problem = QStringLiteral("an event of kind \"%1\"").arg(kind);
            return std::nullopt;
        }
        if (!life) {
            problem = QStringLiteral("a history that begins with \"%1\"").arg(kind);
            return std::nullopt;
        }
    }
    if (!life) problem = QStringLiteral("no history");
    return life;
}

void RegisterModel::ForgetChips(std::int64_t row) {
    for (auto chip = chips.begin(); chip != chips.end();) {
        if (chip->second == row)
            chip = chips.erase(chip);
        else
            ++chip;
    }
}

}  // namespace registertest
