#include "HolderEditDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ControlId.h"
#include "StringTable.h"
#include "station/register/CardRegister.h"

namespace {

constexpr int kStrTitle = 11530;
constexpr int kStrName = 11536;
constexpr int kStrDepartment = 11532;
constexpr int kStrNotes = 11550;
constexpr int kStrPersonnelNumber = 11551;
constexpr int kStrNumberMissing = 11552;
constexpr int kStrNotSaved = 11553;

QLineEdit* MakeField(QWidget* parent, int id, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    SetControlId(edit, id);
    return edit;
}

}  // namespace

CHolderEditDlg::CHolderEditDlg(station::CCardRegister& cardRegister,
                               const station::Holder& holder, QWidget* parent)
    : QDialog(parent), m_register(cardRegister), m_holder(holder) {
    setWindowTitle(LoadString(kStrTitle));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_number = MakeField(this, IDC_NUMBER, holder.personnelNumber);
    m_name = MakeField(this, IDC_NAME, holder.name);
    m_department = MakeField(this, IDC_DEPARTMENT, holder.department);
    m_notes = MakeField(this, IDC_NOTES, holder.notes);
    form->addRow(LoadString(kStrPersonnelNumber), m_number);
    form->addRow(LoadString(kStrName) + ':', m_name);
    form->addRow(LoadString(kStrDepartment), m_department);
    form->addRow(LoadString(kStrNotes), m_notes);
    layout->addLayout(form);
    m_error = new QLabel(this);
    SetControlId(m_error, IDC_ERROR);
    m_error->setWordWrap(true);
    layout->addWidget(m_error);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CHolderEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CHolderEditDlg::reject);
    layout->addWidget(buttons);
}

void CHolderEditDlg::accept() {
    station::Holder changed = m_holder;
    changed.personnelNumber = m_number->text().trimmed();
    changed.name = m_name->text().trimmed();
    changed.department = m_department->text().trimmed();
    changed.notes = m_notes->text().trimmed();
    if (changed.personnelNumber.isEmpty()) {
        m_error->setText(LoadString(kStrNumberMissing));
        m_number->setFocus();
        return;
    }
    // Refused (a personnel number another holder has, a register that cannot write): the
    // operator's input stays for a correction.
    if (!m_register.SaveHolder(changed)) {
        m_error->setText(LoadString(kStrNotSaved).arg(m_register.LastError()));
        return;
    }
    m_holder = changed;
    QDialog::accept();
}
