#include "HolderEditDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ControlId.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "station/register/CardRegister.h"

namespace {

constexpr int kStrTitleNew = 11912;
constexpr int kStrTitleEdit = 11913;
constexpr int kStrDepartmentCase = 11914;
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
    setWindowTitle(LoadString(holder.id == 0 ? kStrTitleNew : kStrTitleEdit));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_number = MakeField(this, IDC_NUMBER, holder.personnelNumber);
    m_name = MakeField(this, IDC_NAME, holder.name);
    m_department = new QComboBox(this);
    m_department->setEditable(true);
    m_department->setInsertPolicy(QComboBox::NoInsert);
    if (const auto departments = m_register.Departments()) m_departments = *departments;
    m_departments.removeAll(QString());
    m_department->addItems(m_departments);
    m_department->setCurrentText(holder.department);
    SetControlId(m_department->lineEdit(), IDC_DEPARTMENT);
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
    // Wide enough for a refusal's reason beside the fields, which keep their size.
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CHolderEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CHolderEditDlg::reject);
    layout->addWidget(buttons);
}

void CHolderEditDlg::accept() {
    station::Holder changed = m_holder;
    changed.personnelNumber = m_number->text().trimmed();
    changed.name = m_name->text().trimmed();
    changed.department = m_department->currentText().trimmed();
    changed.notes = m_notes->text().trimmed();
    if (changed.personnelNumber.isEmpty()) {
        ShowError(LoadString(kStrNumberMissing));
        m_number->setFocus();
        return;
    }
    for (const QString& known : m_departments) {
        if (known == changed.department ||
            known.compare(changed.department, Qt::CaseInsensitive) != 0)
            continue;
        if (!AskYesNo(LoadString(kStrDepartmentCase).arg(changed.department, known), false))
            changed.department = known;
        m_department->setCurrentText(changed.department);
        break;
    }
    // Refused (a personnel number another holder has, a register that cannot write): the
    // operator's input stays for a correction.
    if (!m_register.SaveHolder(changed)) {
        ShowError(LoadString(kStrNotSaved).arg(m_register.LastError()));
        return;
    }
    m_holder = changed;
    QDialog::accept();
}

void CHolderEditDlg::ShowError(const QString& text) {
    m_error->setText(text);
    // The dialog grows by the reason's lines rather than squeezing the fields.
    const int needed = heightForWidth(width());
    if (needed > height()) resize(width(), needed);
}
