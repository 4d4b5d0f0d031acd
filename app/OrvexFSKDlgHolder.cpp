// The main window's holders: the holder field whose person the next single card goes to, the
// question when that person has a valid card already, a lost card replaced in one step and a
// series over the people still without a card. Names are shown in labels of their own, never
// on the status line, which the trace records.
#include <QCompleter>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStringListModel>

#include "CardFormats.h"
#include "ControlId.h"
#include "HolderImportDialog.h"
#include "HoldersWindow.h"
#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "ProgramInfo.h"
#include "RegisterSettingsStore.h"
#include "RegisterText.h"
#include "StringTable.h"
#include "station/HolderSeries.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "ui_OrvexFSKDlg.h"

namespace {

constexpr int kStrHolders = 11530;
constexpr int kStrCannotRead = 11549;
constexpr int kStrHolderField = 11554;
constexpr int kStrForHolder = 11555;
constexpr int kStrHasValidCard = 11556;
constexpr int kStrReplaceLost = 11557;
constexpr int kStrSecondCard = 11561;
constexpr int kStrLostQuestion = 11562;
constexpr int kStrNoValidCard = 11563;
constexpr int kStrCannotRevoke = 11564;
constexpr int kStrNobodyWaits = 11565;
constexpr int kStrLostNotReplaced = 11566;
constexpr int kStrNeedsRegister = 11567;
constexpr int kStrNextFor = 11568;
constexpr int kStrHolderLeft = 11581;
constexpr int kStrReaderBusy = 11269;
// How many holders the field's completion offers at a time.
constexpr int kHolderChoices = 50;

// The choices for a new card of a holder who has one, in this order after the replacements.
constexpr station::RevokeReason kReplacementReasons[] = {
    station::RevokeReason::Lost, station::RevokeReason::Stolen, station::RevokeReason::Returned,
    station::RevokeReason::Destroyed};

QString HolderChoiceText(const station::Holder& holder) {
    return holder.name + QStringLiteral(" (") + holder.personnelNumber + ')';
}

// A holder marked as left is issued no card, whichever way the window asks for one (the
// register refuses it as well); true after telling the operator.
bool RefusedAsLeft(const station::Holder& holder) {
    if (!holder.leftSince.isValid()) return false;
    ShowMessage(LoadString(kStrHolderLeft).arg(holder.name, RegisterTimeText(holder.leftSince)));
    return true;
}

}  // namespace

void COrvexFSKDlg::CreateHolderControls() {
    m_nextHolderLabel = new QLabel(this);
    SetControlId(m_nextHolderLabel, IDC_NEXT_HOLDER);
    m_nextHolderLabel->setTextFormat(Qt::PlainText);
    QFont large = m_nextHolderLabel->font();
    if (large.pointSizeF() > 0) large.setPointSizeF(large.pointSizeF() * 1.8);
    large.setBold(true);
    m_nextHolderLabel->setFont(large);
    m_nextHolderLabel->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(LoadString(kStrHolderField), this));
    m_holderEdit = new QLineEdit(this);
    SetControlId(m_holderEdit, IDC_HOLDER);
    m_holderEdit->setClearButtonEnabled(true);
    row->addWidget(m_holderEdit, 1);
    // Above the card fields: the person first, then the card for them.
    m_ui->mainLayout->insertWidget(1, m_nextHolderLabel);
    m_ui->mainLayout->insertLayout(2, row);

    m_holderOfCardLabel = new QLabel(this);
    SetControlId(m_holderOfCardLabel, IDC_HOLDER_OF_CARD);
    m_holderOfCardLabel->setTextFormat(Qt::PlainText);
    m_ui->statusLayout->addWidget(m_holderOfCardLabel);

    m_holderChoices = new QStringListModel(this);
    m_holderCompleter = new QCompleter(m_holderChoices, this);
    m_holderCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    m_holderCompleter->setFilterMode(Qt::MatchContains);
    m_holderEdit->setCompleter(m_holderCompleter);
    connect(m_holderEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Any other text (typed, cleared) chooses anew: the card goes to nobody until a
        // holder is picked.
        if (text == m_holderChosenText) return;
        m_card.holder = 0;
        m_card.holderName.clear();
        m_holderChosenText.clear();
    });
    connect(m_holderEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        CompleteHolder(text);
    });
    connect(m_holderCompleter, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& text) {
                for (const station::Holder& holder : m_holderMatches)
                    if (HolderChoiceText(holder) == text) return ChooseHolder(holder);
            });
}

void COrvexFSKDlg::CompleteHolder(const QString& text) {
    m_holderMatches.clear();
    if (m_register != nullptr && !text.trimmed().isEmpty()) {
        station::HolderFilter filter;
        filter.text = text.trimmed();
        filter.limit = kHolderChoices;
        if (auto holders = m_register->Holders(filter)) m_holderMatches = std::move(*holders);
    }
    QStringList choices;
    for (const station::Holder& holder : m_holderMatches) choices << HolderChoiceText(holder);
    m_holderChoices->setStringList(choices);
}

void COrvexFSKDlg::ChooseHolder(const station::Holder& holder) {
    m_card.holder = holder.id;
    m_card.holderName = holder.id != 0 ? holder.name : QString();
    m_card.secondCard = false;
    m_card.replaces = 0;
    m_holderChosenText = holder.id != 0 ? HolderChoiceText(holder) : QString();
    m_holderEdit->setText(m_holderChosenText);
}

bool COrvexFSKDlg::PrepareHolderCard() {
    m_card.secondCard = false;
    m_card.replaces = 0;
    if (m_card.holder == 0) return true;
    if (m_register == nullptr) {
        ShowMessage(LoadString(kStrNeedsRegister));
        return false;
    }
    std::optional<station::Holder> holder;
    if (!m_register->FindHolder(m_card.holder, holder)) {
        ShowStatus(station::Status{station::StatusMessage::RegisterFailed, 0, false,
                                   m_register->LastError()});
        return false;
    }
    if (!holder) {
        // Gone from the list meanwhile (another station's change): the field says so by
        // emptying; nothing is written for nobody in particular.
        ChooseHolder(station::Holder{});
        return false;
    }
    // Marked as left after they were chosen (another station's import): no card for them.
    if (RefusedAsLeft(*holder)) {
        ChooseHolder(station::Holder{});
        return false;
    }
    if (!holder->validCard) return true;
    QStringList choices;
    for (int reason = 0; reason < 4; ++reason) choices << LoadString(kStrReplaceLost + reason);
    choices << LoadString(kStrSecondCard);
    bool chosen = false;
    const QString choice = QInputDialog::getItem(
        this, LoadString(kStrHolders),
        LoadString(kStrHasValidCard).arg(holder->name, CardNameText(*holder->validCard)), choices,
        0, false, &chosen);
    if (!chosen) return false;
    const auto index = choices.indexOf(choice);
    if (index == choices.size() - 1) {
        m_card.secondCard = true;
        return true;
    }
    if (index < 0) return false;
    // The card being replaced is revoked at once: it is gone whatever becomes of the new chip.
    if (!m_register->Revoke(holder->validCard->id, kReplacementReasons[index])) {
        ShowMessage(LoadString(kStrCannotRevoke).arg(m_register->LastError()), MessageIcon::Error);
        return false;
    }
    RefreshRegisterWindowLater();
    return true;
}

void COrvexFSKDlg::ShowHolder(const QString& name) {
    m_nextHolderLabel->setText(name.isEmpty() ? QString()
                                              : LoadString(kStrNextFor) + '\n' + name);
    m_nextHolderLabel->setVisible(!name.isEmpty());
}

void COrvexFSKDlg::ShowHoldersWindow() {
    if (m_holdersDlg != nullptr) {
        m_holdersDlg->Refresh();
        m_holdersDlg->show();
        m_holdersDlg->raise();
        return;
    }
    station::CCardRegister* shown = m_register.get();
    if (shown == nullptr) {
        if (m_storedRegister == nullptr)
            m_storedRegister = MakeRegister(ReadRegisterSettings());
        shown = m_storedRegister.get();
    }
    m_holdersDlg = std::make_unique<CHoldersWindow>(*shown, this);
    m_holdersDlg->SetLostCardHook(
        [this](const station::Holder& holder) { ReplaceLostCard(holder); });
    m_holdersDlg->SetSeriesHook(
        [this](const QString& department) { StartHolderSeries(department); });
    CHoldersWindow* window = m_holdersDlg.get();
    m_holdersDlg->SetImportHook([window, shown] {
        CHolderImportDialog dialog(*shown, window);
        dialog.exec();
        window->Refresh();
    });
    m_holdersDlg->show();
}

void COrvexFSKDlg::ReplaceLostCard(const station::Holder& chosen) {
    if (IsBusy() || m_nWriteTimer != 0 || m_nReadTimer != 0) {
        ShowMessage(LoadString(kStrReaderBusy));
        return;
    }
    if (m_register == nullptr) {
        ShowMessage(LoadString(kStrNeedsRegister));
        return;
    }
    std::optional<station::Holder> holder;
    if (!m_register->FindHolder(chosen.id, holder)) {
        ShowMessage(LoadString(kStrCannotRead).arg(m_register->LastError()), MessageIcon::Error);
        return;
    }
    if (holder && RefusedAsLeft(*holder)) return;
    if (!holder || !holder->validCard) {
        ShowMessage(LoadString(kStrNoValidCard).arg(chosen.name));
        return;
    }
    const station::RegisterEntry lost = *holder->validCard;
    const QString lostText = CardNameText(lost);
    if (!AskYesNo(LoadString(kStrLostQuestion).arg(lostText, holder->name), false)) return;
    if (!ExchangeData(true) || !RequireReader()) return;
    if (!m_register->Revoke(lost.id, station::RevokeReason::Lost)) {
        ShowMessage(LoadString(kStrCannotRevoke).arg(m_register->LastError()), MessageIcon::Error);
        return;
    }
    // The replacement has the lost card's format and facility code and the next free number
    // from the lost one on; the operator's fields come back afterwards.
    const station::RunCard fields = m_card;
    if (IsCardFormat(lost.format)) m_nFormat = lost.format;
    m_nFacilityCode = lost.fields.facility;
    m_strCustomerNr = QString::number(lost.fields.number);
    ChooseHolder(*holder);
    station::WriteOutcome outcome = station::WriteOutcome::Failed;
    {
        const BusyScope busy(*this);
        SetRunOptions();
        m_writeRun.options.nextFree = true;
        m_writeRun.options.autoIncrement = false;
        outcome = m_writeRun.WriteOnce();
        m_writeRun.options.nextFree = false;
    }
    m_nFormat = fields.target.format;
    m_nFacilityCode = fields.facility;
    m_strCustomerNr = fields.customer;
    ChooseHolder(station::Holder{});
    ExchangeData(false);
    RefreshRegisterWindowLater();
    ShowErrorLog();
    if (outcome != station::WriteOutcome::Written)
        ShowMessage(LoadString(kStrLostNotReplaced).arg(lostText) + "\n\n" + m_strStatus);
}

void COrvexFSKDlg::StartHolderSeries(const QString& department) {
    if (IsBusy() || m_nWriteTimer != 0 || m_nReadTimer != 0) {
        ShowMessage(LoadString(kStrReaderBusy));
        return;
    }
    if (m_register == nullptr) {
        ShowMessage(LoadString(kStrNeedsRegister));
        return;
    }
    auto queue = std::make_unique<station::CHolderQueue>(*m_register, department);
    if (!queue->Load()) {
        ShowMessage(LoadString(kStrCannotRead).arg(queue->LastError()), MessageIcon::Error);
        return;
    }
    if (queue->Current() == nullptr) {
        ShowMessage(LoadString(kStrNobodyWaits), MessageIcon::Information);
        return;
    }
    ChooseHolder(station::Holder{});
    m_holderQueue = std::move(queue);
    m_writeRun.SetHolderQueue(m_holderQueue.get());
    m_ui->writeCyclicButton->setChecked(true);
    OnWriteCyclic();
    // Refused by the start's checks: no series holds the queue.
    if (m_nWriteTimer == 0) EndHolderSeries();
}

void COrvexFSKDlg::EndHolderSeries() {
    m_writeRun.SetHolderQueue(nullptr);
    m_holderQueue.reset();
    ShowHolder(QString());
    if (m_holdersDlg != nullptr && m_holdersDlg->isVisible()) m_holdersDlg->Refresh();
}
