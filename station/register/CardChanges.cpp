// The changes of a card after its reservation: the write's outcome, revoking, replacing and
// resolving, each with its event in the history, in one transaction.
#include <QSqlDatabase>

#include "station/CardFormatTable.h"
#include "station/register/CardLife.h"
#include "station/register/CardRegister.h"
#include "station/register/RegisterConnection.h"
#include "station/register/RegisterEvents.h"
#include "station/register/RegisterRows.h"

namespace station {

namespace {

CardKey KeyOf(const RegisterEntry& card) {
    return IsCardFormat(card.format)
               ? CardKeyOf(card.format, card.fields)
               : ForeignCardKey(card.formatText, card.fields.facility, card.fields.number);
}

}  // namespace

bool CCardRegister::Record(QSqlDatabase& db, const RegisterEntry& card, const QString& kind,
                           const QString& reason, const QString& uid, QString& error) {
    const CardKey key = KeyOf(card);
    return AppendEvent(db, {card.id, key, kind, reason, uid},
                       Origin{m_station, m_operator, m_request}, error);
}

bool CCardRegister::Change(std::int64_t rowId, CardChange change, const QString& operation,
                           const Apply& apply,
                           const std::function<bool(const RegisterEntry&)>& done) {
    QString refused;
    const RegisterDialect dialect = m_connection->Dialect();
    m_request = NewRequestId();
    int attempts = 0;
    const bool performed = Perform(
        operation,
        [&](QSqlDatabase& db, QString& error) {
            refused.clear();
            if (!BeginTransaction(db, dialect, error)) return false;
            // An attempt whose COMMIT reply was lost may have committed: then this is done.
            if (++attempts > 1) {
                std::optional<std::int64_t> recorded;
                if (!FindRequest(db, m_request, recorded, error)) {
                    RollbackTransaction(db);
                    return false;
                }
                if (recorded) {
                    RollbackTransaction(db);
                    return true;
                }
            }
            std::optional<RegisterEntry> card;
            if (!LookUpRow(db, rowId, card, error)) {
                RollbackTransaction(db);
                return false;
            }
            // Nothing to change: the transaction ends, the call itself went through.
            auto leave = [&] {
                RollbackTransaction(db);
                return true;
            };
            if (!card) {
                // A release that ran before (its reply lost) finds the row gone: done.
                if (change != CardChange::Release && change != CardChange::ResolveReleased)
                    refused = QStringLiteral("its row %1 is no longer there").arg(rowId);
                return leave();
            }
            if (done && done(*card)) return leave();
            refused = RefusedChange(*card, change);
            if (!refused.isEmpty()) return leave();
            if (!apply(db, *card, error) || !RunStatement(db, QStringLiteral("COMMIT"), error)) {
                RollbackTransaction(db);
                return false;
            }
            return true;
        },
        true);
    m_request.clear();
    if (!performed) return false;
    if (refused.isEmpty()) return true;
    m_lastError = QStringLiteral("Cannot %1 in the card register %2: %3")
                      .arg(operation, m_connection->Place(), refused);
    return false;
}

bool CCardRegister::TakePlaces(QSqlDatabase& db, const RegisterEntry& card,
                               const std::vector<EarlierCard>& earlier, const Apply& apply,
                               QString& error) {
    std::vector<EarlierCard> places = earlier;
    if (card.replaces != 0) places.push_back({card.replaces, card.reason});
    std::vector<std::pair<RegisterEntry, QString>> replaced;
    for (const EarlierCard& place : places) {
        std::optional<RegisterEntry> row;
        if (!LookUpRow(db, place.rowId, row, error)) return false;
        // Linked once: a card another change replaced before keeps that link. A reservation
        // is no card yet: the operator resolves it.
        if (!row || row->id == card.id || row->replacedBy != 0 ||
            row->state == RegisterEntry::State::Reserved ||
            row->state == RegisterEntry::State::Replaced)
            continue;
        // A revoked card stays revoked: its reason is what the access system must know.
        StateChange link(IsValid(*row) ? RegisterEntry::State::Replaced : row->state);
        link.replacedBy = card.id;
        if (!UpdateRow(db, row->id, link, error)) return false;
        replaced.emplace_back(*row, place.reason);
    }
    if (!apply(db, card, error)) return false;
    for (const auto& [row, reason] : replaced) {
        if (!Record(db, row, QStringLiteral("replaced"), reason, QString(), error)) return false;
    }
    return true;
}

// Confirm and Release may run twice (see Perform): a row written already, or a reservation
// that is gone, is left as it is.
bool CCardRegister::Confirm(std::int64_t rowId, bool verified, const QString& uid,
                            const std::vector<EarlierCard>& earlier) {
    if (Away())
        return Elsewhere([this](auto&... a) { return Confirm(a...); }, rowId, verified, uid,
                         earlier);
    auto confirm = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        const StateChange written =
            StateChange::Outcome(RegisterEntry::State::Written, verified, uid);
        return UpdateRow(db, rowId, written, error) &&
               Record(db, card, verified ? QStringLiteral("verified") : QStringLiteral("written"),
                      QString(), uid, error);
    };
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        return TakePlaces(db, card, earlier, confirm, error);
    };
    return Change(
        rowId, CardChange::Confirm, QStringLiteral("confirm the card"), apply,
        [](const RegisterEntry& card) { return card.state == RegisterEntry::State::Written; });
}

bool CCardRegister::HoldUnverified(std::int64_t rowId, const QString& uid,
                                   const std::vector<EarlierCard>& earlier) {
    if (Away())
        return Elsewhere([this](auto&... a) { return HoldUnverified(a...); }, rowId, uid, earlier);
    auto hold = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        const StateChange unverified =
            StateChange::Outcome(RegisterEntry::State::Unverified, false, uid);
        return UpdateRow(db, rowId, unverified, error) &&
               Record(db, card, QStringLiteral("unverified"), QString(), uid, error);
    };
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        return TakePlaces(db, card, earlier, hold, error);
    };
    return Change(
        rowId, CardChange::HoldUnverified, QStringLiteral("hold the unverified card"), apply,
        [](const RegisterEntry& card) { return card.state == RegisterEntry::State::Unverified; });
}

bool CCardRegister::Release(std::int64_t rowId) {
    if (Away()) return Elsewhere([this](auto&... a) { return Release(a...); }, rowId);
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        return DeleteRow(db, rowId, error) &&
               Record(db, card, QStringLiteral("released"), QString(), QString(), error);
    };
    return Change(rowId, CardChange::Release, QStringLiteral("release the reservation"), apply);
}

bool CCardRegister::MarkReplaced(std::int64_t oldRowId, std::int64_t newRowId,
                                 const QString& reason) {
    if (Away())
        return Elsewhere([this](auto&... a) { return MarkReplaced(a...); }, oldRowId, newRowId,
                         reason);
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        std::optional<RegisterEntry> replacement;
        if (!LookUpRow(db, newRowId, replacement, error)) return false;
        if (!replacement) {
            error = QStringLiteral("the replacing row %1 is not there").arg(newRowId);
            return false;
        }
        StateChange replaced(RegisterEntry::State::Replaced);
        replaced.replacedBy = newRowId;
        return UpdateRow(db, oldRowId, replaced, error) &&
               Record(db, card, QStringLiteral("replaced"), reason, QString(), error);
    };
    return Change(oldRowId, CardChange::Replace, QStringLiteral("mark the card replaced"), apply,
                  [&](const RegisterEntry& card) { return card.replacedBy == newRowId; });
}

bool CCardRegister::Revoke(std::int64_t rowId, RevokeReason reason) {
    if (Away()) return Elsewhere([this](auto&... a) { return Revoke(a...); }, rowId, reason);
    const QString word = RevokeReasonText(reason);
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        StateChange revoked(RegisterEntry::State::Revoked);
        revoked.reason = word;
        return UpdateRow(db, rowId, revoked, error) &&
               Record(db, card, QStringLiteral("revoked"), word, QString(), error);
    };
    return Change(rowId, CardChange::Revoke, QStringLiteral("revoke the card"), apply);
}

bool CCardRegister::ResolveConfirmed(std::int64_t rowId, const QString& uid) {
    if (Away()) return Elsewhere([this](auto&... a) { return ResolveConfirmed(a...); }, rowId, uid);
    auto confirm = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        // Read back from the chip: written and checked.
        const StateChange written = StateChange::Outcome(RegisterEntry::State::Written, true, uid);
        return UpdateRow(db, rowId, written, error) &&
               Record(db, card, QStringLiteral("resolved"), QStringLiteral("confirmed"), uid,
                      error);
    };
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        return TakePlaces(db, card, {}, confirm, error);
    };
    return Change(rowId, CardChange::ResolveConfirmed, QStringLiteral("confirm the card"), apply);
}

bool CCardRegister::ResolveReleased(std::int64_t rowId) {
    if (Away()) return Elsewhere([this](auto&... a) { return ResolveReleased(a...); }, rowId);
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        return DeleteRow(db, rowId, error) && Record(db, card, QStringLiteral("resolved"),
                                                     QStringLiteral("released"), QString(), error);
    };
    return Change(rowId, CardChange::ResolveReleased, QStringLiteral("release the card"), apply);
}

bool CCardRegister::ResolveDestroyed(std::int64_t rowId) {
    if (Away()) return Elsewhere([this](auto&... a) { return ResolveDestroyed(a...); }, rowId);
    const QString word = RevokeReasonText(RevokeReason::Destroyed);
    auto apply = [&](QSqlDatabase& db, const RegisterEntry& card, QString& error) {
        StateChange destroyed(RegisterEntry::State::Revoked);
        destroyed.reason = word;
        return UpdateRow(db, rowId, destroyed, error) &&
               Record(db, card, QStringLiteral("resolved"), word, QString(), error);
    };
    return Change(rowId, CardChange::ResolveDestroyed, QStringLiteral("mark the card destroyed"),
                  apply);
}

}  // namespace station
