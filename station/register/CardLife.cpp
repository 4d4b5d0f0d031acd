#include "station/register/CardLife.h"

#include <initializer_list>

#include "station/CardFormatTable.h"

namespace station {

namespace {

QString Name(const RegisterEntry& card) {
    if (IsCardFormat(card.format)) return CardName(card.format, card.fields);
    return QStringLiteral("%1 (format %2)").arg(card.fields.number).arg(card.formatText);
}

// The card's state in a sentence: "is revoked (lost)".
QString StateWords(const RegisterEntry& card) {
    switch (card.state) {
        case RegisterEntry::State::Written:
            return QStringLiteral("is written");
        case RegisterEntry::State::Unverified:
            return QStringLiteral("is unverified");
        case RegisterEntry::State::Replaced:
            return card.replacedBy != 0
                       ? QStringLiteral("was replaced by row %1").arg(card.replacedBy)
                       : QStringLiteral("was replaced");
        case RegisterEntry::State::Revoked:
            return QStringLiteral("is revoked (%1)").arg(card.reason);
        case RegisterEntry::State::Reserved:
            break;
    }
    return QStringLiteral("is only reserved by %1 and not confirmed")
        .arg(card.station.isEmpty() ? QStringLiteral("another station") : card.station);
}

bool In(RegisterEntry::State state, std::initializer_list<RegisterEntry::State> states) {
    for (const auto allowed : states)
        if (state == allowed) return true;
    return false;
}

}  // namespace

std::span<const Transition> Transitions() {
    using State = RegisterEntry::State;
    using Sets = Transition::Sets;
    static constexpr Transition kTransitions[] = {
        {State::Reserved, State::Written, Sets::Outcome},     // confirmed, resolved confirmed
        {State::Reserved, State::Unverified, Sets::Outcome},  // the write went out, failed
        {State::Reserved, State::Revoked, Sets::Reason},      // resolved destroyed
        {State::Unverified, State::Written, Sets::Outcome},   // read back: resolved confirmed
        {State::Unverified, State::Revoked, Sets::Reason},    // revoked, resolved destroyed
        {State::Unverified, State::Replaced, Sets::Link},     // a re-issue or overwrite
        {State::Written, State::Revoked, Sets::Reason},       // lost, stolen, returned, ...
        {State::Written, State::Replaced, Sets::Link},        // a re-issue or overwrite
    };
    return kTransitions;
}

bool IsValid(const RegisterEntry& card) {
    return card.state == RegisterEntry::State::Written ||
           card.state == RegisterEntry::State::Unverified;
}

QString CardName(int format, const CardFields& fields) {
    const QString number = QString::number(static_cast<long long>(fields.number));
    if (!FormatHasFacility(format)) return number;
    return QStringLiteral("%1 (facility %2)").arg(number).arg(fields.facility);
}

QString RefusedChange(const RegisterEntry& card, CardChange change) {
    using State = RegisterEntry::State;
    const State state = card.state;
    const QString sentence = Name(card) + QLatin1Char(' ') + StateWords(card);
    switch (change) {
        case CardChange::Confirm:
        case CardChange::HoldUnverified:
        case CardChange::Release:
            if (state == State::Reserved) return {};
            return sentence + QStringLiteral("; only a reservation takes the write's outcome");
        case CardChange::Reissue:
            if (state != State::Reserved) return {};
            return sentence + QStringLiteral(
                                  "; it is re-issued only once that station wrote it or the "
                                  "reservation was resolved");
        case CardChange::Replace:
        case CardChange::Revoke:
            if (IsValid(card)) return {};
            if (state == State::Reserved)
                return sentence + QStringLiteral("; resolve the reservation first");
            return sentence + QStringLiteral("; only a re-issue writes it again");
        case CardChange::ResolveConfirmed:
        case CardChange::ResolveReleased:
        case CardChange::ResolveDestroyed:
            if (In(state, {State::Reserved, State::Unverified})) return {};
            return sentence +
                   QStringLiteral("; only a reservation or an unverified card is resolved");
    }
    return sentence;
}

QString RevokeReasonText(RevokeReason reason) {
    switch (reason) {
        case RevokeReason::Lost:
            return QStringLiteral("lost");
        case RevokeReason::Stolen:
            return QStringLiteral("stolen");
        case RevokeReason::Returned:
            return QStringLiteral("returned");
        case RevokeReason::Destroyed:
            break;
    }
    return QStringLiteral("destroyed");
}

std::optional<RevokeReason> RevokeReasonFromText(const QString& text) {
    for (const auto reason : {RevokeReason::Lost, RevokeReason::Stolen, RevokeReason::Returned,
                              RevokeReason::Destroyed})
        if (text.trimmed().compare(RevokeReasonText(reason), Qt::CaseInsensitive) == 0)
            return reason;
    return std::nullopt;
}

QString StateText(RegisterEntry::State state) {
    switch (state) {
        case RegisterEntry::State::Written:
            return QStringLiteral("written");
        case RegisterEntry::State::Unverified:
            return QStringLiteral("unverified");
        case RegisterEntry::State::Replaced:
            return QStringLiteral("replaced");
        case RegisterEntry::State::Revoked:
            return QStringLiteral("revoked");
        case RegisterEntry::State::Reserved:
            break;
    }
    return QStringLiteral("reserved");
}

RegisterEntry::State StateFromText(const QString& text) {
    for (const auto state : {RegisterEntry::State::Written, RegisterEntry::State::Unverified,
                             RegisterEntry::State::Replaced, RegisterEntry::State::Revoked})
        if (text == StateText(state)) return state;
    return RegisterEntry::State::Reserved;
}

}  // namespace station
