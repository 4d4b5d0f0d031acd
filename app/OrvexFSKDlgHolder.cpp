// The main window's holders: the holder field whose person the next single card goes to, the
// question when that person has a valid card already, a lost card replaced in one step and a
// series over the people still without a card. Names are shown in labels of their own, never
// on the status line, which the trace records.
#include <QCompleter>
#include <QHBoxLayout>
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
#include "dialogs/ChoiceDlg.h"
#include "station/HolderSeries.h"
#include "station/Transponder.h"
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
constexpr int kStrLostTitle = 11546;
constexpr int kStrWhichLost = 11902;
constexpr int kStrLostKept = 11903;
constexpr int kStrImported = 11915;
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
    // A long name wraps rather than widen the station over the windows beside it: the
    // banner takes the station's width, never sets it.
    m_nextHolderLabel->setWordWrap(true);
    m_nextHolderLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_nextHolderLabel->hide();

    m_holderRow = new QWidget(this);
    auto* row = new QHBoxLayout(m_holderRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(LoadString(kStrHolderField), m_holderRow));
    m_holderEdit = new QLineEdit(m_holderRow);
    SetControlId(m_holderEdit, IDC_HOLDER);
    m_holderEdit->setClearButtonEnabled(true);
    row->addWidget(m_holderEdit, 1);
    // Above the card fields: the person first, then the card for them.
    m_ui->mainLayout->insertWidget(1, m_nextHolderLabel);
    m_ui->mainLayout->insertWidget(2, m_holderRow);

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
    // Never inside a register call: a key typed during one completes once it returned.
    connect(m_holderEdit, &QLineEdit::textEdited, this,
            CStationBusy::WhenIdle(this, [this] { CompleteHolder(m_holderEdit->text()); }));
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
    // No answer is picked beforehand and Enter cancels: a replacement revokes a card.
    const int index = CChoiceDlg::Ask(
        this, LoadString(kStrHolders),
        LoadString(kStrHasValidCard).arg(holder->name, CardNameText(*holder->validCard)), choices);
    if (index < 0) return false;
    if (index == choices.size() - 1) {
        m_card.secondCard = true;
        return true;
    }
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
                                              : LoadString(kStrNextFor) + ' ' + name);
    // The banner takes the holder field's place, which a series over holders does not use:
    // the station does not grow past a small screen.
    m_holderRow->setVisible(name.isEmpty());
    m_nextHolderLabel->setVisible(!name.isEmpty());
}

void COrvexFSKDlg::ShowHoldersWindow() {
    if (m_holdersDlg != nullptr) {
        m_holdersDlg->Refresh();
        ShowBesideStation(m_holdersDlg.get());
        return;
    }
    station::CCardRegister* shown = m_register.get();
    if (shown == nullptr) {
        if (m_storedRegister == nullptr)
            m_storedRegister = MakeRegister(ReadRegisterSettings());
        shown = m_storedRegister.get();
    }
    // An ordinary window of its own, not kept in front of the station.
    m_holdersDlg = std::make_unique<CHoldersWindow>(*shown);
    m_holdersDlg->SetLostCardHook(
        [this](const station::Holder& holder) { ReplaceLostCard(holder); });
    m_holdersDlg->SetSeriesHook(
        [this](const QString& department) { StartHolderSeries(department); });
    CHoldersWindow* window = m_holdersDlg.get();
    m_holdersDlg->SetImportHook([window, shown] {
        CHolderImportDialog dialog(*shown, window);
        const bool imported = dialog.exec() == QDialog::Accepted;
        window->Refresh();
        // What the list changed, once the dialog with its plan is gone.
        if (imported)
            ShowMessage(LoadString(kStrImported)
                            .arg(dialog.Imported().added.size())
                            .arg(dialog.Imported().changed.size())
                            .arg(dialog.Imported().left.size()),
                        MessageIcon::Information);
    });
    ShowBesideStation(m_holdersDlg.get());
}

void COrvexFSKDlg::ReplaceLostCard(const station::Holder& chosen) {
    if (ReaderTaken()) {
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
    // Which of several valid cards was lost only the operator knows: asked before anything
    // is revoked, with no card picked beforehand.
    const auto cards = m_register->HolderCards(holder->id);
    if (!cards) {
        ShowMessage(LoadString(kStrCannotRead).arg(m_register->LastError()), MessageIcon::Error);
        return;
    }
    std::vector<station::RegisterEntry> valid;
    for (const station::RegisterEntry& card : *cards)
        if (card.state == station::RegisterEntry::State::Written ||
            card.state == station::RegisterEntry::State::Unverified)
            valid.push_back(card);
    if (valid.empty()) {
        ShowMessage(LoadString(kStrNoValidCard).arg(chosen.name));
        return;
    }
    station::RegisterEntry lost = valid.front();
    if (valid.size() == 1) {
        if (!AskYesNo(LoadString(kStrLostQuestion).arg(CardNameText(lost), holder->name), false))
            return;
    } else {
        QStringList choices;
        for (const station::RegisterEntry& card : valid)
            choices << CardNameText(card) + QStringLiteral(" (") + RegisterTimeText(card.time) +
                           ')';
        const int index = CChoiceDlg::Ask(this, LoadString(kStrLostTitle),
                                          LoadString(kStrWhichLost).arg(holder->name), choices);
        if (index < 0) return;
        lost = valid[static_cast<std::size_t>(index)];
    }
    const QString lostText = CardNameText(lost);
    if (!ExchangeData(true) || !RequireReader()) return;
    // The card is revoked only with a chip on the reader for its replacement: a missing chip
    // leaves the lost card as it was, not revoked without a replacement.
    station::Detection detected = station::Detection::None;
    {
        const BusyScope busy(*this);
        std::int64_t noEarlierChip = 0;
        QString uid;
        detected = station::DetectTransponder(m_card.target, noEarlierChip, uid);
    }
    if (detected == station::Detection::None || detected == station::Detection::Protected) {
        ShowStatus(station::Status{detected == station::Detection::None
                                       ? station::StatusMessage::NoTransponder
                                       : station::StatusMessage::WriteProtected});
        ShowMessage(LoadString(kStrLostKept).arg(lostText) + "\n\n" + m_strStatus);
        return;
    }
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
    // The holder's other valid cards stay theirs: the replacement is one card more.
    m_card.secondCard = valid.size() > 1;
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
    if (ReaderTaken()) {
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
    ToggleWriteSeries();
    // Refused by the start's checks: no series holds the queue.
    if (m_nWriteTimer == 0) EndHolderSeries();
}

void COrvexFSKDlg::EndHolderSeries() {
    m_writeRun.SetHolderQueue(nullptr);
    m_holderQueue.reset();
    ShowHolder(QString());
    if (m_holdersDlg != nullptr && m_holdersDlg->isVisible()) m_holdersDlg->Refresh();
}
