// The main window's card register: opened from the settings, handed to the write run, its
// window and settings dialog, and the question before a number is issued a second time.
#include <QInputDialog>

#include "CardFormats.h"
#include "ChipTypes.h"
#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "ProgramInfo.h"
#include "RegisterSettingsStore.h"
#include "RegisterText.h"
#include "StringTable.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/RegisterSettingsDlg.h"
#include "station/register/CardRegister.h"

namespace {

constexpr int kStrReissue = 11125;
constexpr int kStrCannotOpen = 11126;
constexpr int kStrOverwrite = 11211;
constexpr int kStrReissueReasonTitle = 11212;
constexpr int kStrReissueReason = 11213;
constexpr int kStrRecordsInto = 11216;

}  // namespace

void COrvexFSKDlg::OpenRegister() {
    m_writeRun.SetRegister(nullptr);
    m_register.reset();
    const station::RegisterSettings settings = ReadRegisterSettings();
    if (!settings.enabled) return;
    m_register = std::make_unique<station::CCardRegister>(settings, GetProgramVersion());
    // Set even when it cannot open: the run then refuses every write with the reason
    // instead of writing chips the register does not hold.
    m_writeRun.SetRegister(m_register.get());
    if (m_register->Open()) {
        // The operator sees which register the cards go into, not a private file by mistake;
        // a file by its path alone, which reads the same in every language.
        const QString where = settings.kind == station::RegisterSettings::Kind::SQLite
                                  ? station::RegisterFile(settings)
                                  : m_register->Where();
        ShowStatusText(LoadString(kStrRecordsInto).arg(where));
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
    // A replacement card is a deliberate act: Enter must not issue a number twice.
    if (!AskYesNo(question, false)) return false;
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
    const QString question = LoadString(kStrOverwrite)
                                 .arg(onChipText, RegisterTimeText(onChip.time),
                                      CardText(card.format, card.fields.facility, card.customer));
    return AskYesNo(question, false);
}

void COrvexFSKDlg::RunRegisterDialog() {
    if (m_register) {
        CRegisterDlg dialog(*m_register, this);
        dialog.exec();
        return;
    }
    // Switched off for writing, the register kept so far can still be looked at.
    station::CCardRegister stored(ReadRegisterSettings(), GetProgramVersion());
    CRegisterDlg dialog(stored, this);
    dialog.exec();
}

bool COrvexFSKDlg::RunRegisterSettingsDialog() {
    CRegisterSettingsDlg dialog(this);
    return dialog.exec() == QDialog::Accepted;
}
