#include "station/WriteRun.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>

#include "station/CardFormatTable.h"
#include "station/CardLog.h"
#include "station/ChipTypeTable.h"
#include "station/HolderSeries.h"
#include "station/register/CardRegister.h"
#include "vellf.h"

namespace station {

namespace {

// A chip must have been away longer than this before the same one counts as new again.
constexpr std::uint32_t kAbsentForgetMs = 2000;

// The history's reason when the operator wrote a new card over a valid one.
const QString kOverwritten = QStringLiteral("overwritten");
// The history's reason when a holder's card that did not verify gave way to the next one.
const QString kNotVerified = QStringLiteral("not verified");

std::uint32_t SteadyTickCount() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    // Never 0, which stands for "not set".
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now() - start).count() + 1);
}

QString LockText(bool lock) {
    return lock ? QStringLiteral("Locked") : QStringLiteral("not Locked");
}

}  // namespace

CWriteRun::CWriteRun(CRunView& view, RunCard& card, TickClock clock)
    : m_view(view), m_card(card), m_clock(clock ? std::move(clock) : TickClock(SteadyTickCount)) {}

std::int64_t CWriteRun::Number() const {
    return ParseNumber64(m_card.customer);
}

CardFields CWriteRun::Fields() const {
    return CardFields{m_card.facility, Number(), m_card.fixed};
}

CardRecord CWriteRun::Record() const {
    CardRecord card;
    card.format = m_card.target.format;
    card.chipType = m_card.target.chipType;
    card.fields = Fields();
    // A format without a facility code never puts one on the card.
    if (!FormatHasFacility(m_card.target.format)) card.fields.facility = 0;
    card.customer = m_card.customer;
    card.uid = m_card.uid;
    if (m_queue != nullptr) {
        // The holder's own unverified card from this series does not count as theirs.
        if (const Holder* holder = m_queue->Current()) card.holder = holder->id;
        card.holderMustBeWithoutCard = m_unverifiedForHolder.empty();
    } else if (m_card.holder != 0) {
        card.holder = m_card.holder;
        card.holderMustBeWithoutCard = !m_card.secondCard && m_card.replaces == 0;
    }
    return card;
}

void CWriteRun::ShowCurrentHolder() {
    const Holder* holder = m_queue != nullptr ? m_queue->Current() : nullptr;
    m_view.ShowHolder(holder != nullptr ? holder->name : QString());
}

bool CWriteRun::SkipHolder(CardRecord& card) {
    m_queue->Skip();
    m_unverifiedForHolder.clear();
    ShowCurrentHolder();
    const Holder* holder = m_queue->Current();
    if (holder == nullptr) {
        m_end = SeriesEnd::HoldersServed;
        return false;
    }
    card.holder = holder->id;
    card.holderMustBeWithoutCard = true;
    return true;
}

std::vector<EarlierCard> CWriteRun::HolderUnverified(bool inSeries) const {
    std::vector<EarlierCard> earlier;
    if (!inSeries || m_queue == nullptr) return earlier;
    for (const std::int64_t rowId : m_unverifiedForHolder) earlier.push_back({rowId, kNotVerified});
    return earlier;
}

std::vector<EarlierCard> CWriteRun::EarlierCards(const std::optional<RegisterEntry>& onChip,
                                                 bool inSeries) const {
    std::vector<EarlierCard> earlier = HolderUnverified(inSeries);
    if (onChip) earlier.push_back({onChip->id, kOverwritten});
    if (!inSeries && m_card.replaces != 0)
        earlier.push_back({m_card.replaces, m_card.replaceReason});
    return earlier;
}

void CWriteRun::IncrementCustomerNr() {
    // Saturates rather than overflow on a number no format holds.
    const std::int64_t number = Number();
    if (number < std::numeric_limits<std::int64_t>::max())
        m_card.customer = QString::number(static_cast<long long>(number + 1));
}

void CWriteRun::ShowFailure(const Status& status, bool inSeries) {
    Status shown = status;
    shown.layAgain = inSeries;
    m_view.ShowStatus(shown);
}

void CWriteRun::ShowNoTransponder() {
    m_view.ShowStatus(Status{LfGetLastError(m_card.target.handle) == kErrTimeout
                                 ? StatusMessage::ReaderSilent
                                 : StatusMessage::NoTransponder});
}

bool CWriteRun::Verify(const CardRecord& card, Status& status) {
    CardFields found;
    int code = 0;
    switch (VerifyTransponder(m_card.target, card.fields, found, code)) {
        case VerifyResult::Verified:
            return true;
        case VerifyResult::Mismatch:
            status = Status{StatusMessage::VerifyMismatch};
            break;
        case VerifyResult::ReadFailed:
            status = Status{code == kErrTimeout ? StatusMessage::ReaderSilent
                                                : StatusMessage::VerifyUnreadable};
            break;
    }
    // The operator may have to redo this card by hand; the list names it.
    m_card.errorLog += m_view.FailedCardEntry(status, card) + QStringLiteral("\r\n");
    return false;
}

bool CWriteRun::RegisterActive() const {
    return m_register != nullptr && m_register->Settings().enabled;
}

bool CWriteRun::TakesNextFree(bool inSeries) const {
    if (!RegisterActive()) return false;
    return inSeries ? m_register->Settings().nextFree || m_queue != nullptr : options.nextFree;
}

std::int64_t CWriteRun::NextFreeStart(bool inSeries) const {
    return inSeries ? m_seriesStart : Number();
}

std::int64_t CWriteRun::NextFreeLimit() const {
    const std::int64_t largest = kCardFormats[m_card.target.format].maxCustomer;
    // The same end value at which StopTest ends the series.
    if (options.stopAtCount || !options.stopAtEnd) return largest;
    return std::min(ParseNumber64(options.endValue), largest);
}

bool CWriteRun::ReserveCard(CardRecord& card, bool inSeries, std::int64_t& rowId) {
    std::optional<RegisterEntry> earlier;
    ReserveResult result = ReserveResult::Failed;
    if (TakesNextFree(inSeries)) {
        const auto reserve = [&] {
            return m_register->ReserveNextFree(card, options.lock, NextFreeStart(inSeries),
                                               NextFreeLimit(), rowId);
        };
        result = reserve();
        // Another station gave this holder a card meanwhile: the chip goes to the next one.
        // Bounded by the queue, which only shrinks.
        while (result == ReserveResult::HolderHasCard && inSeries && m_queue != nullptr) {
            if (!SkipHolder(card)) return false;
            result = reserve();
        }
    } else {
        result = m_register->Reserve(card, options.lock, rowId, earlier);
        // A single write's number only reserved is being written elsewhere: no question,
        // nothing replaces it.
        if (result == ReserveResult::Duplicate && !inSeries && earlier &&
            earlier->state == RegisterEntry::State::Reserved)
            result = ReserveResult::InProgress;
        // A single card may replace a lost one deliberately; a series never asks.
        QString reason;
        if (result == ReserveResult::Duplicate && !inSeries && earlier &&
            m_view.ConfirmReissue(card, *earlier, reason))
            result =
                m_register->ReserveReissue(card, options.lock, earlier->id, reason, rowId, earlier);
    }
    Status status;
    SeriesEnd end = SeriesEnd::Running;
    switch (result) {
        case ReserveResult::Reserved:
            return true;
        case ReserveResult::Duplicate:
            status.message = StatusMessage::Duplicate;
            if (earlier) {
                status.detail = earlier->uid.isEmpty() ? ChipName(earlier->chipType) : earlier->uid;
                status.when = earlier->time;
            }
            end = SeriesEnd::Duplicate;
            break;
        case ReserveResult::InProgress:
            status.message = StatusMessage::ReissueInProgress;
            if (earlier) {
                status.detail = earlier->station;
                status.when = earlier->time;
            }
            end = SeriesEnd::Duplicate;
            break;
        case ReserveResult::Exhausted:
            status.message = StatusMessage::NoFreeNumber;
            end = SeriesEnd::NoFreeNumber;
            break;
        case ReserveResult::HolderHasCard:
            status.message = StatusMessage::HolderHasCard;
            end = SeriesEnd::Duplicate;
            break;
        case ReserveResult::Failed:
            status.message = StatusMessage::RegisterFailed;
            status.detail = m_register->LastError();
            end = SeriesEnd::RegisterFailed;
            break;
    }
    m_view.ShowStatus(status);
    if (inSeries) m_end = end;
    return false;
}

CWriteRun::ChipCheck CWriteRun::CheckChip(const CardRecord& card, bool inSeries,
                                          std::optional<RegisterEntry>& onChip) {
    onChip.reset();
    // A chip without an identification cannot be matched with a card of the register.
    if (m_card.uid.isEmpty()) return ChipCheck::Free;
    if (!m_register->FindValidByUid(m_card.uid, onChip)) {
        // No answer is not "no card": nothing is written while the register cannot tell.
        m_view.ShowStatus(Status{StatusMessage::RegisterFailed, 0, false, m_register->LastError()});
        if (inSeries) m_end = SeriesEnd::RegisterFailed;
        return ChipCheck::Failed;
    }
    if (!onChip) return ChipCheck::Free;
    if (!inSeries) {
        // The same number again is the register's duplicate question, not an overwrite.
        if (onChip->format == card.format && SameCard(card.format, onChip->fields, card.fields)) {
            onChip.reset();
            return ChipCheck::Free;
        }
        if (m_view.ConfirmOverwrite(card, *onChip)) return ChipCheck::Overwrite;
    }
    Status status{StatusMessage::ChipCarriesCard, 0, inSeries, onChip->uid, onChip->time};
    status.cardFormat = onChip->format;
    status.card = onChip->fields;
    m_view.ShowStatus(status);
    return ChipCheck::Refused;
}

CWriteRun::CardResult CWriteRun::WriteCurrentCard(bool inSeries) {
    const bool nextFree = TakesNextFree(inSeries);
    CardFields fields = Fields();
    // A next-free series takes its number from the register, at most its limit.
    if (nextFree) fields.number = NextFreeStart(inSeries);
    // The SDK cuts every value to its field, so a number past the format's largest would
    // reach the chip as another number than the one shown and logged.
    if (!IsCardFormat(m_card.target.format) || CheckCardFields(m_card.target.format, fields)) {
        const std::int64_t largest =
            IsCardFormat(m_card.target.format) ? kCardFormats[m_card.target.format].maxCustomer : 0;
        ShowFailure(Status{StatusMessage::ValueTooLarge, largest}, inSeries);
        return CardResult::Failed;
    }
    if (inSeries && m_queue != nullptr && m_queue->Current() == nullptr) {
        m_end = SeriesEnd::HoldersServed;
        return CardResult::Refused;
    }
    CardRecord card = Record();
    if (nextFree) card.fields.number = fields.number;
    // The register holds the number before the chip carries it: a station that ends between
    // the write and the confirmation leaves the number taken, never free for a second chip.
    std::int64_t rowId = 0;
    const bool registered = RegisterActive();
    // The valid card the chip carries, which an overwrite the operator confirmed replaces.
    std::optional<RegisterEntry> onChip;
    if (registered) {
        switch (CheckChip(card, inSeries, onChip)) {
            case ChipCheck::Failed:
                return CardResult::Refused;
            case ChipCheck::Refused:
                return CardResult::ChipTaken;
            case ChipCheck::Free:
            case ChipCheck::Overwrite:
                break;
        }
        if (!ReserveCard(card, inSeries, rowId)) return CardResult::Refused;
        if (nextFree) {
            fields.number = card.fields.number;
            m_card.customer = card.customer =
                QString::number(static_cast<long long>(fields.number));
        }
    }
    const QString written = m_card.customer;
    const std::int64_t number = fields.number;
    // The next number is stored before the chip is written: a station ended during the
    // write starts again after this number, never with one that a chip may already hold.
    const bool raise = options.autoIncrement && number < std::numeric_limits<std::int64_t>::max();
    m_view.StoreNextNumber(raise ? QString::number(static_cast<long long>(number + 1)) : written);
    if (!m_view.WaitUntilNumberStored()) {
        // After a restart the station would offer this number again: no chip may carry it.
        if (registered) m_register->Release(rowId);
        m_view.ShowStatus(Status{StatusMessage::NumberNotStored});
        if (inSeries) m_end = SeriesEnd::NumberNotStored;
        return CardResult::Refused;
    }
    Status failure;
    bool ok = WriteTransponder(m_card.target, fields, options.lock);
    const int code = ok ? 0 : LfGetLastError(m_card.target.handle);
    if (!ok) {
        failure = Status{DescribeWriteError(m_card.target, code), code};
    } else if (options.verify) {
        ok = card.verified = Verify(card, failure);
    }
    if (!ok) {
        // Once a write command went out the chip may carry the number: the register keeps it
        // as unverified and the next card takes the next number. A release that fails leaves
        // the number held, which issues nothing twice.
        const bool reached = code == 0 || WriteMayHaveReachedChip(m_card.target);
        if (registered && reached) {
            card.verified = false;
            // The chip's earlier card stays valid: which of the two the chip carries is
            // unknown. The holder's earlier unverified card gives way in the same transaction.
            const bool held =
                m_register->HoldUnverified(rowId, m_card.uid, HolderUnverified(inSeries));
            if (!held)
                m_view.ShowStatus(
                    Status{StatusMessage::RegisterFailed, 0, false, m_register->LastError()});
            // The holder stays for the next chip, whose card replaces this one (and the earlier
            // ones, should the register not have taken this outcome).
            if (inSeries && m_queue != nullptr) {
                if (held) m_unverifiedForHolder.clear();
                m_unverifiedForHolder.push_back(rowId);
            }
            ShowFailure(failure, inSeries);
            return CardResult::Unverified;
        }
        if (registered) m_register->Release(rowId);
        ShowFailure(failure, inSeries);
        m_view.StoreNextNumber(written);
        return CardResult::Failed;
    }
    if (inSeries && m_card.target.chipType == kChipAta5575M2)
        ReadFieldsForCheck(m_card.target, lastId);
    ++count;
    m_view.CardWritten(card);
    // The log line comes before the confirmation, so that after a power cut every confirmed
    // card is in the log.
    if (!options.logPath.isEmpty())
        LogCard(m_view, options.logPath, card, LockText(options.lock), m_card.errorLog,
                m_card.fileErrorText);
    // The chip carries the holder's card: the series goes on with the next person.
    if (inSeries && m_queue != nullptr) {
        m_queue->Next();
        ShowCurrentHolder();
        if (m_queue->Current() == nullptr && m_end == SeriesEnd::Running)
            m_end = SeriesEnd::HoldersServed;
    }
    // The cards this one takes the place of become replaced in the confirmation's own
    // transaction: both or nothing, so that a holder never keeps two valid cards.
    if (registered &&
        !m_register->Confirm(rowId, card.verified, card.uid, EarlierCards(onChip, inSeries))) {
        // The chip is written and the number stays reserved, so this is no success: the
        // error list names the card for the operator to resolve, and the next card must not
        // be written while the register cannot record.
        const QString reason = m_register->LastError();
        m_view.ShowStatus(Status{StatusMessage::RegisterFailed, 0, false, reason});
        m_card.errorLog += m_view.NotConfirmedEntry(card, reason) + QStringLiteral("\r\n");
        if (inSeries) m_end = SeriesEnd::RegisterFailed;
        return CardResult::Unconfirmed;
    }
    m_unverifiedForHolder.clear();
    m_view.SignalSuccess();
    return CardResult::Written;
}

WriteOutcome CWriteRun::WriteOnce() {
    lastId = 0;
    WriteOutcome outcome = WriteOutcome::Failed;
    switch (DetectTransponder(m_card.target, lastId, m_card.uid)) {
        case Detection::None:
            ShowNoTransponder();
            outcome = WriteOutcome::NoCard;
            break;
        case Detection::Protected:
            m_view.ShowStatus(Status{StatusMessage::WriteProtected});
            m_view.ShowFields();
            LfResetField(m_card.target.handle, 0);
            return WriteOutcome::Protected;
        default: {
            const CardResult result = WriteCurrentCard(false);
            // A card held as unverified or unconfirmed keeps its number, so the next one takes
            // the next.
            const bool onChip =
                result == CardResult::Unverified || result == CardResult::Unconfirmed;
            if (onChip && options.autoIncrement) IncrementCustomerNr();
            if (result == CardResult::Unconfirmed) {
                m_view.SignalFailure();
                outcome = WriteOutcome::Unconfirmed;
            }
            if (result != CardResult::Written) break;
            if (options.autoIncrement) IncrementCustomerNr();
            outcome = WriteOutcome::Written;
            break;
        }
    }
    m_view.ShowFields();
    return outcome;
}

SeriesRefusal CWriteRun::CheckSeriesStart() const {
    if (options.stopAtEnd && ParseNumber64(options.endValue) < Number())
        return SeriesRefusal::EndBelowStart;
    if (options.stopAtCount && options.stopCount <= 0) return SeriesRefusal::CountZero;
    return SeriesRefusal::None;
}

void CWriteRun::StartSeries() {
    m_card.errorLog.clear();
    lastId = 0;
    absentSince = 0;
    count = 0;
    m_seriesStart = Number();
    m_end = SeriesEnd::Running;
    m_readerSilent = false;
    m_unverifiedForHolder.clear();
    if (m_queue != nullptr) {
        ShowCurrentHolder();
        if (m_queue->Current() == nullptr) m_end = SeriesEnd::HoldersServed;
    }
    m_view.ShowFields();
}

SeriesEnd CWriteRun::StopTest() const {
    // The next number would not fit the format: the series ends here, as at an end value.
    if (options.autoIncrement && IsCardFormat(m_card.target.format) &&
        Number() >= kCardFormats[m_card.target.format].maxCustomer)
        return SeriesEnd::Limit;
    if (options.stopAtCount) {
        if (count >= options.stopCount) return SeriesEnd::Count;
    } else if (options.stopAtEnd && Number() >= ParseNumber64(options.endValue)) {
        return SeriesEnd::EndValue;
    }
    return SeriesEnd::Running;
}

TickOutcome CWriteRun::SeriesTick() {
    const Detection detected = DetectTransponder(m_card.target, lastId, m_card.uid);
    if (detected == Detection::None) {
        // A reader that stopped answering is reported at once, not after the last success.
        const bool silent = LfGetLastError(m_card.target.handle) == kErrTimeout;
        if (silent && !m_readerSilent) m_view.ShowStatus(Status{StatusMessage::ReaderSilent});
        if (!silent && m_readerSilent) m_view.ShowStatus(Status{});
        m_readerSilent = silent;
        if (absentSince != 0 && lastId != 0) {
            m_view.ShowLamps(LampState::Failed);
            if (m_clock() - absentSince > kAbsentForgetMs) {
                lastId = 0;
                absentSince = 0;
            }
        } else if (lastId != 0) {
            absentSince = m_clock();
        }
        return TickOutcome::Waiting;
    }
    if (m_readerSilent) {
        m_readerSilent = false;
        m_view.ShowStatus(Status{});
    }
    absentSince = 0;
    if (detected == Detection::Protected) {
        m_view.ShowStatus(Status{StatusMessage::WriteProtected});
        m_view.ShowFields();
        LfResetField(m_card.target.handle, 0);
        return TickOutcome::Protected;
    }
    if (detected == Detection::Same) return TickOutcome::Held;

    m_view.ShowLamps(LampState::Writing);
    const CardResult result = WriteCurrentCard(true);
    // Every holder was served (others took the last ones): nothing was written, no failure.
    if (result == CardResult::Refused && m_end == SeriesEnd::HoldersServed) {
        m_view.ShowLamps(LampState::Failed);
        return TickOutcome::Stopped;
    }
    if (result == CardResult::Unconfirmed) {
        // Counted, since the chip carries the card; the register's failure has ended the series.
        m_view.ShowLamps(LampState::WriteFailed);
        m_view.SignalFailure();
        if (options.autoIncrement) IncrementCustomerNr();
        m_view.ShowFields();
        return TickOutcome::Unconfirmed;
    }
    if (result != CardResult::Written) {
        m_view.ShowLamps(LampState::WriteFailed);
        m_view.SignalFailure();
        if (result == CardResult::Unverified && options.autoIncrement) IncrementCustomerNr();
        m_view.ShowFields();
        return result == CardResult::Refused ? TickOutcome::Stopped : TickOutcome::Failed;
    }
    m_view.ShowLamps(LampState::Written);
    // A register that failed to confirm the card ends the series before the next one.
    if (m_end == SeriesEnd::Running) m_end = StopTest();
    if (options.autoIncrement) IncrementCustomerNr();
    m_view.ShowFields();
    return TickOutcome::Written;
}

}  // namespace station
