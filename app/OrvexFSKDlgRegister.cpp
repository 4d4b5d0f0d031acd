// The main window's card register: opened from the settings, handed to the write run, its
// window and settings dialog, and the question before a number is issued a second time.
#include <QApplication>
#include <QCoreApplication>
#include <QInputDialog>
#include <QPointer>
#include <algorithm>
#include <chrono>

#include "CardFormats.h"
#include "ChipTypes.h"
#include "HoldersWindow.h"
#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "ProgramInfo.h"
#include "RegisterSettingsStore.h"
#include "RegisterText.h"
#include "Settings.h"
#include "StringTable.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/RegisterSettingsDlg.h"
#include "station/HolderSeries.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "station/register/RegisterThread.h"

namespace {

constexpr int kStrReissue = 11125;
constexpr int kStrCannotOpen = 11126;
constexpr int kStrOverwrite = 11211;
constexpr int kStrReissueReasonTitle = 11212;
constexpr int kStrReissueReason = 11213;
constexpr int kStrRecordsInto = 11216;
constexpr int kStrSameCardWord = 11910;
constexpr int kStrOverwriteUnverified = 11911;

// A register call that waits longer than this fails and stops the series. Above SQLite's
// wait for another station's write lock (10 s), so that a busy shared file is no failure.
constexpr int kDefaultAnswerSeconds = 15;

// A register call's wait: the station is busy for it, and a dialog in front of the station
// (whose command made the call) takes no input meanwhile, as in a reader's wait.
void MarkRegisterWait(bool waiting) {
    static QPointer<QWidget> disabled;
    static int depth = 0;
    if (waiting) {
        CStationBusy::BeginWait();
        QWidget* modal = QApplication::activeModalWidget();
        if (++depth == 1 && modal != nullptr && qobject_cast<COrvexFSKDlg*>(modal) == nullptr &&
            modal->isEnabled()) {
            disabled = modal;
            modal->setEnabled(false);
        }
        return;
    }
    if (--depth == 0 && disabled != nullptr) {
        disabled->setEnabled(true);
        disabled = nullptr;
    }
    CStationBusy::EndWait();
}

}  // namespace

station::RegisterPtr COrvexFSKDlg::MakeRegister(const station::RegisterSettings& settings) {
    station::RegisterPtr cardRegister(new station::CCardRegister(settings, GetProgramVersion()));
    const int seconds = GetSettingInt(QStringLiteral("Register"), QStringLiteral("AnswerTimeout"),
                                      kDefaultAnswerSeconds);
    station::CRegisterThread::SetWaitMark(&MarkRegisterWait);
    cardRegister->RunCallsOnThread(std::chrono::milliseconds(std::max(seconds, 1) * 1000),
                                   [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    return cardRegister;
}

void COrvexFSKDlg::OpenRegister() {
    // The windows read the register that goes now.
    m_registerDlg.reset();
    m_holdersDlg.reset();
    EndHolderSeries();
    ChooseHolder(station::Holder{});
    m_storedRegister.reset();
    m_writeRun.SetRegister(nullptr);
    m_register.reset();
    const station::RegisterSettings settings = ReadRegisterSettings();
    if (!settings.enabled) return;
    m_register = MakeRegister(settings);
    // Set even when it cannot open: the run then refuses every write with the reason
    // instead of writing chips the register does not hold.
    m_writeRun.SetRegister(m_register.get());
    if (m_register->Open()) {
        // The operator sees which register the cards go into, not a private file by mistake;
        // a file by its path alone, which reads the same in every language.
        const QString where = settings.kind == station::RegisterSettings::Kind::SQLite
                                  ? station::RegisterFile(settings)
                                  : m_register->Where();
        const QString warning = m_register->LastWarning();
        ShowStatusText(warning.isEmpty() ? LoadString(kStrRecordsInto).arg(where) : warning);
        return;
    }
    const QString reason = m_register->LastError();
    station::Status status;
    status.message = station::StatusMessage::RegisterFailed;
    status.detail = reason;
    ShowStatus(status);
    ShowMessage(LoadString(kStrCannotOpen).arg(reason), MessageIcon::Error);
}

bool COrvexFSKDlg::ConfirmReissue(const station::CardRecord& card,
                                  const station::RegisterEntry& earlier, QString& reason) {
    const QString question =
        LoadString(kStrReissue)
            .arg(CardText(card.format, card.fields.facility, card.customer),
                 earlier.uid.isEmpty() ? QStringLiteral("-") : earlier.uid,
                 ChipName(earlier.chipType).trimmed(), RegisterTimeText(earlier.time));
    // A replacement card is a deliberate act: Enter must not issue a number twice. The same
    // number is the same card word, so a lost badge would keep opening doors.
    if (!AskYesNo(question + "\n\n" + LoadString(kStrSameCardWord), false)) return false;
    // The register's history keeps why; the operator may leave it empty.
    reason = QInputDialog::getText(this, LoadString(kStrReissueReasonTitle),
                                   LoadString(kStrReissueReason))
                 .trimmed();
    return true;
}

bool COrvexFSKDlg::ConfirmOverwrite(const station::CardRecord& card,
                                    const station::RegisterEntry& onChip) {
    const QString onChipText =
        IsCardFormat(onChip.format)
            ? CardText(onChip.format, onChip.fields.facility, QString::number(onChip.fields.number))
            : onChip.formatText;
    // An unverified card may not be on the chip at all: the question does not call it valid.
    const bool unverified = onChip.state == station::RegisterEntry::State::Unverified;
    const QString question = LoadString(unverified ? kStrOverwriteUnverified : kStrOverwrite)
                                 .arg(onChipText, RegisterTimeText(onChip.time),
                                      CardText(card.format, card.fields.facility, card.customer));
    return AskYesNo(question, false);
}

void COrvexFSKDlg::ShowRegisterWindow() {
    if (m_registerDlg != nullptr) {
        m_registerDlg->Refresh();
        ShowBesideStation(m_registerDlg.get());
        return;
    }
    station::CCardRegister* shown = m_register.get();
    if (shown == nullptr) {
        // Switched off for writing, the register kept so far can still be looked at.
        m_storedRegister = MakeRegister(ReadRegisterSettings());
        shown = m_storedRegister.get();
    }
    // An ordinary window of its own, not kept in front of the station.
    m_registerDlg = std::make_unique<CRegisterDlg>(*shown);
    // The window resolves a card by reading its chip back on the station's reader.
    m_registerDlg->SetChipReader([this](int format, int chipType) {
        constexpr int kStrNoReader = 11101;
        constexpr int kStrReaderBusy = 11269;
        ChipReadBack chip;
        // One exchange at a time on the handle: a run keeps the reader. The register window's
        // command that asks is itself busy, so the mark alone does not tell.
        if (ReaderTaken()) {
            chip.failure = LoadString(kStrReaderBusy);
            return chip;
        }
        if (m_hPort == 0) {
            chip.failure = LoadString(kStrNoReader);
            return chip;
        }
        const BusyScope busy(*this);
        const station::CardTarget target{m_hPort, format, chipType};
        int code = 0;
        chip.read = station::ReadTransponder(target, chip.fields, chip.uid, code);
        if (!chip.read) {
            station::Status status{station::DescribeReadError(m_hPort, code), code};
            if (status.message == station::StatusMessage::NoTransponder &&
                station::ChipAnswersWithoutCard(target))
                status.message = station::StatusMessage::BlankChip;
            chip.failure = StatusText(status);
        }
        LfResetField(m_hPort, 0);
        return chip;
    });
    ShowBesideStation(m_registerDlg.get());
}

void COrvexFSKDlg::RefreshRegisterWindowLater() {
    if (m_registerDlg == nullptr || !m_registerDlg->isVisible()) return;
    // Read once no run is in the middle of a card: a card being written shows as reserved.
    if (IsBusy()) {
        if (!m_bRegisterRefreshQueued) {
            m_bRegisterRefreshQueued = true;
            DeferWhileBusy([this] {
                m_bRegisterRefreshQueued = false;
                RefreshRegisterWindowLater();
            });
        }
        return;
    }
    m_registerDlg->Refresh();
}

bool COrvexFSKDlg::RunRegisterSettingsDialog() {
    CRegisterSettingsDlg dialog(this);
    return dialog.exec() == QDialog::Accepted;
}
