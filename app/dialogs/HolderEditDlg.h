// Adds a holder by hand or changes one: personnel number, name, department and notes. The
// register refuses a personnel number another holder has; the dialog then stays open with
// the reason, its fields as they were. The department is picked from the known ones or
// typed; one that differs from a known one only in case is taken as typed only when the
// operator confirms.
#pragma once

#include <QDialog>
#include <QStringList>

#include "station/register/Holders.h"

class QComboBox;
class QLineEdit;
class QLabel;

class CHolderEditDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_NUMBER = 1421;
    static constexpr int IDC_NAME = 1422;
    static constexpr int IDC_DEPARTMENT = 1423;
    static constexpr int IDC_NOTES = 1424;
    static constexpr int IDC_ERROR = 1425;

    // holder.id 0: a new holder. The register must outlive the dialog.
    CHolderEditDlg(station::CCardRegister& cardRegister, const station::Holder& holder,
                   QWidget* parent = nullptr);
    const station::Holder& Saved() const { return m_holder; }

    void accept() override;

  private:
    void ShowError(const QString& text);

    station::CCardRegister& m_register;
    station::Holder m_holder;
    QLineEdit* m_number = nullptr;
    QLineEdit* m_name = nullptr;
    QComboBox* m_department = nullptr;
    QStringList m_departments;
    QLineEdit* m_notes = nullptr;
    QLabel* m_error = nullptr;
};
