#include "ResolveCardDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ControlId.h"
#include "RegisterText.h"
#include "StringTable.h"

namespace {

constexpr int kStrCancel = 11259;
constexpr int kStrTitle = 11260;
constexpr int kStrQuestion = 11261;
constexpr int kStrReadBack = 11262;
constexpr int kStrRelease = 11263;
constexpr int kStrDestroyed = 11264;

}  // namespace

CResolveCardDlg::CResolveCardDlg(const station::RegisterEntry& card, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(LoadString(kStrTitle));
    auto* question = new QLabel(LoadString(kStrQuestion)
                                    .arg(CardNameText(card), RegisterStateText(card),
                                         RegisterTimeText(card.time), card.station),
                                this);
    question->setWordWrap(true);
    SetControlId(question, IDC_QUESTION);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    // One button per outcome, each a deliberate click. Enter marks the chip destroyed: the
    // number stays held, the one answer that cannot put a number on two chips.
    const std::pair<int, int> choices[] = {
        {IDC_READ_BACK, kStrReadBack}, {IDC_RELEASE, kStrRelease}, {IDC_DESTROYED, kStrDestroyed}};
    for (const auto& [id, text] : choices) {
        auto* button = new QPushButton(LoadString(text), this);
        button->setAutoDefault(false);
        button->setDefault(id == IDC_DESTROYED);
        SetControlId(button, id);
        const int choice = id - IDC_READ_BACK + kReadBack;
        connect(button, &QPushButton::clicked, this, [this, choice] { done(choice); });
        layout->addWidget(button);
    }
    auto* cancel = new QPushButton(LoadString(kStrCancel), this);
    cancel->setAutoDefault(false);
    SetControlId(cancel, IDCANCEL);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}
