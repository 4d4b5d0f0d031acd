#include "RevokeCardDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ChipTypes.h"
#include "ControlId.h"
#include "RegisterText.h"
#include "StringTable.h"

namespace {

constexpr int kStrTitle = 11255;
constexpr int kStrQuestion = 11256;
constexpr int kStrReason = 11257;
constexpr int kStrRevoke = 11258;
constexpr int kStrCancel = 11259;

constexpr station::RevokeReason kReasons[] = {
    station::RevokeReason::Lost, station::RevokeReason::Stolen, station::RevokeReason::Returned,
    station::RevokeReason::Destroyed};

}  // namespace

CRevokeCardDlg::CRevokeCardDlg(const station::RegisterEntry& card, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(LoadString(kStrTitle));
    auto* question =
        new QLabel(LoadString(kStrQuestion)
                       .arg(CardNameText(card), card.uid.isEmpty() ? QStringLiteral("-") : card.uid,
                            ChipName(card.chipType).trimmed(), RegisterTimeText(card.time)),
                   this);
    question->setWordWrap(true);
    SetControlId(question, IDC_QUESTION);

    m_reason = new QComboBox(this);
    for (const station::RevokeReason reason : kReasons)
        m_reason->addItem(RevokeReasonWords(reason), static_cast<int>(reason));
    SetControlId(m_reason, IDC_REASON);
    auto* form = new QFormLayout;
    form->addRow(LoadString(kStrReason), m_reason);

    auto* revoke = new QPushButton(LoadString(kStrRevoke), this);
    revoke->setAutoDefault(false);
    SetControlId(revoke, IDC_REVOKE);
    auto* cancel = new QPushButton(LoadString(kStrCancel), this);
    cancel->setDefault(true);
    SetControlId(cancel, IDCANCEL);
    connect(revoke, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(revoke);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

station::RevokeReason CRevokeCardDlg::Reason() const {
    return static_cast<station::RevokeReason>(m_reason->currentData().toInt());
}
