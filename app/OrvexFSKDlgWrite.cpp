// The main window's write runs: write once and the write series, on the station's write run,
// with the window's lamps, signals and status texts.
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "CardFormats.h"
#include "ChipTypes.h"
#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "RegisterText.h"
#include "Settings.h"
#include "SettingsWriter.h"
#include "SignalOutput.h"
#include "StringTable.h"
#include "station/register/CardRegister.h"
#include "station/HolderSeries.h"
#include "station/register/Holders.h"
#include "ui_OrvexFSKDlg.h"
#include "vellf.h"

using station::StatusMessage;

namespace {

constexpr int kStrReadError = 106;
constexpr int kStrNoFskData = 107;
constexpr int kStrNoTransponder = 111;
constexpr int kStrWriteDone = 119;
constexpr int kStrWriteProtected = 128;
constexpr int kStrValueTooLarge = 136;
constexpr int kStrReadTimeout = 137;
constexpr int kStrManchester = 148;
constexpr int kStrBiphase = 149;
constexpr int kStrEndBelowStart = 10086;
constexpr int kStrCountZero = 10087;
constexpr int kStrReaderSilent = 11102;
constexpr int kStrChecksum = 11103;
constexpr int kStrWrongChip = 11104;
constexpr int kStrLocked = 11105;
constexpr int kStrNotWritable = 11106;
constexpr int kStrWriteError = 11107;
constexpr int kStrVerifyMismatch = 11108;
constexpr int kStrVerifyUnreadable = 11109;
constexpr int kStrVerified = 11112;
constexpr int kStrSeriesDone = 11113;
constexpr int kStrSeriesDoneOne = 11195;
constexpr int kStrLayAgain = 11114;
constexpr int kStrDuplicate = 11122;
constexpr int kStrRegisterFailed = 11123;
constexpr int kStrNoFreeNumber = 11124;
constexpr int kStrHolderHasCard = 11600;
constexpr int kStrForHolder = 11555;
constexpr int kStrNumberNotStored = 11116;
constexpr int kStrBlankChip = 11190;
constexpr int kStrNotConfirmed = 11210;
constexpr int kStrChipCarriesCard = 11214;
constexpr int kStrReissueInProgress = 11215;

// The string table's text of each status a run shows without a value of its own.
int StatusStringId(StatusMessage message) {
    switch (message) {
        case StatusMessage::NoFskData:
            return kStrNoFskData;
        case StatusMessage::ReadTimeout:
            return kStrReadTimeout;
        case StatusMessage::Manchester:
            return kStrManchester;
        case StatusMessage::Biphase:
            return kStrBiphase;
        case StatusMessage::NoTransponder:
            return kStrNoTransponder;
        case StatusMessage::BlankChip:
            return kStrBlankChip;
        case StatusMessage::ReaderSilent:
            return kStrReaderSilent;
        case StatusMessage::WriteProtected:
            return kStrWriteProtected;
        case StatusMessage::Checksum:
            return kStrChecksum;
        case StatusMessage::WrongChip:
            return kStrWrongChip;
        case StatusMessage::Locked:
            return kStrLocked;
        case StatusMessage::NotWritable:
            return kStrNotWritable;
        case StatusMessage::VerifyMismatch:
            return kStrVerifyMismatch;
        case StatusMessage::VerifyUnreadable:
            return kStrVerifyUnreadable;
        case StatusMessage::NoFreeNumber:
            return kStrNoFreeNumber;
        case StatusMessage::HolderHasCard:
            return kStrHolderHasCard;
        default:
            return 0;
    }
}

}  // namespace

QString COrvexFSKDlg::StatusText(const station::Status& status) const {
    switch (status.message) {
        case StatusMessage::None:
            return QString();
        case StatusMessage::ReadError:
            return FormatMessage(LoadString(kStrReadError), static_cast<int>(status.value));
        case StatusMessage::WriteError:
            return LoadString(kStrWriteError).arg(status.value);
        case StatusMessage::ValueTooLarge:
            return FormatMessage(LoadString(kStrValueTooLarge),
                                 static_cast<long long>(status.value));
        case StatusMessage::Duplicate:
            return LoadString(kStrDuplicate).arg(status.detail, RegisterTimeText(status.when));
        case StatusMessage::RegisterFailed:
            return LoadString(kStrRegisterFailed).arg(status.detail);
        case StatusMessage::ChipCarriesCard:
            return LoadString(kStrChipCarriesCard)
                .arg(IsCardFormat(status.cardFormat)
                         ? CardText(status.cardFormat, status.card.facility,
                                    QString::number(status.card.number))
                         : status.detail,
                     RegisterTimeText(status.when));
        case StatusMessage::ReissueInProgress:
            return LoadString(kStrReissueInProgress)
                .arg(status.detail, RegisterTimeText(status.when));
        case StatusMessage::NumberNotStored:
            return LoadString(kStrNumberNotStored).arg(SettingsFilePath());
        default:
            return LoadString(StatusStringId(status.message));
    }
}

void COrvexFSKDlg::ShowStatus(const station::Status& status) {
    ShowStatusText(StatusText(status));
    // A reader that stopped answering may be gone: checked once the run has returned.
    if ((status.message == StatusMessage::ReaderSilent ||
         status.message == StatusMessage::ReadTimeout) &&
        !m_lineCheckQueued) {
        m_lineCheckQueued = true;
        QTimer::singleShot(0, this, [this] { CheckReaderLine(); });
    }
    // The failed chip is tried again only after it was away.
    if (status.layAgain) ShowStatusText(m_strStatus + " - " + LoadString(kStrLayAgain));
}

QString COrvexFSKDlg::CardText(int format, int facility, const QString& customer) const {
    return CardNameText(format, QString(), facility, customer);
}

QString COrvexFSKDlg::HolderNameOf(const station::CardRecord& card) const {
    // Matched by the holder's row, so that a card is never named for someone else: the
    // holder field's person, or the series' current one (it moves on only once a card of
    // theirs is written). No register call: it may come between a write and its confirmation.
    if (card.holder == 0) return QString();
    if (card.holder == m_card.holder) return m_card.holderName;
    const station::Holder* current = m_holderQueue != nullptr ? m_holderQueue->Current() : nullptr;
    return current != nullptr && current->id == card.holder ? current->name : QString();
}

QString COrvexFSKDlg::FailedCardEntry(const station::Status& status,
                                      const station::CardRecord& card) {
    QString entry = StatusText(status) + ": " +
                    CardText(card.format, card.fields.facility, card.customer) + ' ' +
                    ChipName(card.chipType).trimmed() + ' ' + card.uid;
    // The error list is not traced: it names the person the chip was for.
    const QString holder = HolderNameOf(card);
    if (!holder.isEmpty()) entry += ' ' + LoadString(kStrForHolder).arg(holder);
    return entry;
}

QString COrvexFSKDlg::NotConfirmedEntry(const station::CardRecord& card, const QString& reason) {
    return LoadString(kStrNotConfirmed)
        .arg(CardText(card.format, card.fields.facility, card.customer) + ' ' +
                 ChipName(card.chipType).trimmed() + ' ' + card.uid,
             reason);
}

void COrvexFSKDlg::StoreNextNumber(const QString& number) {
    // The number is stored with the card fields it goes with, so that a station ended at any
    // moment restarts with a matching card, not with the fields of its previous exit. They
    // change only between runs; unchanged ones cost no extra write to disk.
    const std::array<int, 3> fields{m_nFormat, m_nFacilityCode, m_nFixedField};
    if (fields != m_storedCardFields) {
        m_settingsWriter->PutInt("Settings", "Typ", m_nFormat);
        m_settingsWriter->PutInt("Settings", "FacilityCode", m_nFacilityCode);
        m_settingsWriter->PutInt("Settings", "FixedField", m_nFixedField);
        m_storedCardFields = fields;
    }
    m_settingsWriter->PutString("Settings", "CustomerNr", number);
}

bool COrvexFSKDlg::WaitUntilNumberStored() {
    // The settings file is written on a worker thread; the window keeps its events going
    // meanwhile, busy, so that no command runs inside the wait (StationBusy.h).
    const CStationBusy::Wait wait;
    return m_settingsWriter->WaitUntilWritten(
        [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

void COrvexFSKDlg::CardWritten(const station::CardRecord& card) {
    // The number field already shows the next number, so the status names the card written.
    QString status = LoadString(kStrWriteDone) + ": " +
                     CardText(card.format, card.fields.facility, card.customer);
    if (card.verified) status += ", " + LoadString(kStrVerified);
    ShowStatusText(status);
    // The holder beside the status line, which is traced: a name is personal data.
    m_cardWrittenInTick = true;
    ShowHolderOfCard(HolderNameOf(card));
    ShowCount();
    m_settingsWriter->PutInt("Settings", "Anzahl", m_nCount);
}

void COrvexFSKDlg::ShowFields() {
    ExchangeData(false);
}

void COrvexFSKDlg::ShowLamps(station::LampState state) {
    ShowLamps(static_cast<int>(state));
}

void COrvexFSKDlg::SetRunOptions() {
    station::WriteOptions& options = m_writeRun.options;
    options.lock = m_bLock != 0;
    options.autoIncrement = m_bAutoIncrement != 0;
    options.stopAtCount = m_bStopAtCount != 0;
    options.stopCount = m_nStopCount;
    options.stopAtEnd = m_bStopAtEnd != 0;
    options.endValue = m_strEndValue;
    options.verify = m_bVerify != 0;
    options.logPath = m_bWriteLog != 0 ? m_strWriteLogFile : QString();
    m_readRun.logPath = m_bReadLog != 0 ? m_strReadLogFile : QString();
}

void COrvexFSKDlg::ShowCount() {
    m_ui->countEdit->setText(QString::number(m_nCount));
}

void COrvexFSKDlg::SignalSuccess() {
    if (m_nSoundType == 2) {
        if (!m_strSoundSuccess.isEmpty()) m_signals->PlayWaveFile(m_strSoundSuccess, false);
    } else if (m_nSoundType == 1) {
        m_signals->PlayTone(440, m_nBeepTime);
    }
}

void COrvexFSKDlg::SignalFailure() {
    if (m_nSoundType == 2) {
        if (!m_strSoundFailure.isEmpty()) m_signals->PlayWaveFile(m_strSoundFailure, false);
    } else if (m_nSoundType == 1) {
        for (int frequency : {1000, 2000, 1000, 2000}) m_signals->PlayTone(frequency, 200);
    }
}

void COrvexFSKDlg::OnWriteOnce() {
    if (IsBusy()) return;
    {
        const BusyScope busy(*this);
        if (!ExchangeData(true) || !RequireReader()) return;
        m_holderOfCardLabel->clear();
        if (!PrepareHolderCard()) return;
        SetRunOptions();
        const station::WriteOutcome outcome = m_writeRun.WriteOnce();
        // The person has the card: the next chip goes to nobody until a holder is picked
        // again, so that a write started for the next chip never asks about this person's
        // new card. The label beside the status still names them.
        if (outcome == station::WriteOutcome::Written ||
            outcome == station::WriteOutcome::Unconfirmed)
            ChooseHolder(station::Holder{});
    }
    RefreshRegisterWindowLater();
    // What failed with this card is shown now, while the card is still at hand.
    ShowErrorLog();
}

void COrvexFSKDlg::StopWriteSeries(bool showSummary) {
    if (m_nWriteTimer != 0) {
        killTimer(m_nWriteTimer);
        m_nWriteTimer = 0;
    }
    // Out of background mode, so that a following single run cannot be started twice
    // during its wait.
    if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
    EnableControls(true);
    EndHolderSeries();
    if (showSummary) ShowStatusText(SeriesDoneText());
}

QString COrvexFSKDlg::SeriesDoneText() const {
    // English has a singular of its own.
    return m_nCount == 1 ? LoadString(kStrSeriesDoneOne) : LoadString(kStrSeriesDone).arg(m_nCount);
}

void COrvexFSKDlg::OnWriteCyclic() {
    if (DeferWhileBusy([this] { OnWriteCyclic(); })) return;
    ToggleWriteSeries();
}

void COrvexFSKDlg::ToggleWriteSeries() {
    QPushButton* toggle = m_ui->writeCyclicButton;
    if (!toggle->isChecked()) {
        // Stopping never passes the input checks of a start: a value refused there must
        // not keep a series running.
        if (m_nWriteTimer == 0) {
            if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
            return;
        }
        StopWriteSeries(true);
        ShowErrorLog();
        return;
    }
    if (m_nWriteTimer != 0) return;
    if (!ExchangeData(true) || !RequireReader()) {
        toggle->setChecked(false);
        return;
    }
    SetRunOptions();
    switch (m_writeRun.CheckSeriesStart()) {
        case station::SeriesRefusal::EndBelowStart:
            toggle->setChecked(false);
            ShowMessage(LoadString(kStrEndBelowStart));
            m_ui->endValueEdit->setFocus();
            return;
        case station::SeriesRefusal::CountZero:
            toggle->setChecked(false);
            ShowMessage(LoadString(kStrCountZero));
            m_ui->stopCountEdit->setFocus();
            return;
        case station::SeriesRefusal::None:
            break;
    }
    // The series begins a list of its own; one left from before is shown first, never lost.
    ShowErrorLog();
    // The holder field is for single cards: a series of numbers gives nobody its cards.
    if (m_holderQueue == nullptr) ChooseHolder(station::Holder{});
    // The previous run's end is not this series' news.
    ShowStatusText(QString());
    m_holderOfCardLabel->clear();
    m_writeRun.StartSeries();
    LfSetBackgroundMode(m_hPort, 1);
    m_nWriteTimer = startTimer(m_nCycleTime, Qt::PreciseTimer);
    SetLampView(true);
    EnableControls(false);
    toggle->setEnabled(true);
}

void COrvexFSKDlg::ShowHolderOfCard(const QString& name) {
    m_holderOfCardLabel->setText(name.isEmpty() ? QString() : LoadString(kStrForHolder).arg(name));
}

void COrvexFSKDlg::OnWriteTick() {
    m_cardWrittenInTick = false;
    const station::TickOutcome outcome = m_writeRun.SeriesTick();
    // Beside a chip that failed, the person it was for (the queue moves on only once a card
    // is written), never the one whose card was written before.
    if (m_holderQueue != nullptr && !m_cardWrittenInTick &&
        (outcome == station::TickOutcome::Failed || outcome == station::TickOutcome::Protected ||
         outcome == station::TickOutcome::Stopped)) {
        const station::Holder* current = m_holderQueue->Current();
        ShowHolderOfCard(current != nullptr ? current->name : QString());
    }
    // Every outcome but waiting for a chip may have changed a card in the register.
    if (outcome != station::TickOutcome::Waiting && outcome != station::TickOutcome::Held &&
        outcome != station::TickOutcome::Protected)
        RefreshRegisterWindowLater();
    if (outcome != station::TickOutcome::Written && outcome != station::TickOutcome::Stopped &&
        outcome != station::TickOutcome::Unconfirmed)
        return;
    const station::SeriesEnd end = m_writeRun.Ended();
    if (outcome == station::TickOutcome::Stopped || end == station::SeriesEnd::Duplicate ||
        end == station::SeriesEnd::RegisterFailed || end == station::SeriesEnd::NoFreeNumber ||
        end == station::SeriesEnd::NumberNotStored) {
        // The register refused a card or could not confirm the one written, or the next
        // number cannot be kept: the status line keeps the reason, the message repeats it
        // with the count.
        const QString reason = m_strStatus;
        StopWriteSeries(false);
        m_ui->writeCyclicButton->setChecked(false);
        ShowMessage(reason + "\n\n" + SeriesDoneText());
        ShowErrorLog();
        return;
    }
    if (end == station::SeriesEnd::Running) return;
    StopWriteSeries(true);
    m_ui->writeCyclicButton->setChecked(false);
    if (end == station::SeriesEnd::Limit)
        ShowMessage(FormatMessage(LoadString(kStrValueTooLarge),
                                  static_cast<long long>(kCardFormats[m_nFormat].maxCustomer)));
    ShowErrorLog();
}
