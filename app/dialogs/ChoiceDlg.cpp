#include "ChoiceDlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ControlId.h"
#include "StringTable.h"

namespace {

constexpr int kStrOk = 11901;
constexpr int kStrCancel = 11259;

}  // namespace

CChoiceDlg::CChoiceDlg(const QString& title, const QString& question, const QStringList& choices,
                       QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(question, this);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    SetControlId(label, IDC_QUESTION);
    layout->addWidget(label);
    m_choices = new QButtonGroup(this);
    for (int index = 0; index < choices.size(); ++index) {
        auto* choice = new QRadioButton(choices[index], this);
        SetControlId(choice, IDC_FIRST_CHOICE + index);
        m_choices->addButton(choice, index);
        layout->addWidget(choice);
    }
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(LoadString(kStrOk), QDialogButtonBox::AcceptRole);
    SetControlId(m_ok, IDOK);
    m_ok->setEnabled(false);
    m_ok->setAutoDefault(false);
    QPushButton* cancel = buttons->addButton(LoadString(kStrCancel), QDialogButtonBox::RejectRole);
    SetControlId(cancel, IDCANCEL);
    cancel->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_choices, &QButtonGroup::idToggled, this, [this] { m_ok->setEnabled(Choice() >= 0); });
    // The focus on Cancel too: a radio button with the focus would take the space bar.
    cancel->setFocus();
}

int CChoiceDlg::Choice() const {
    return m_choices->checkedId();
}

int CChoiceDlg::Ask(QWidget* parent, const QString& title, const QString& question,
                    const QStringList& choices) {
    CChoiceDlg dialog(title, question, choices, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.Choice() : -1;
}
