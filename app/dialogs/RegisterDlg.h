// The register window: the card register's rows in a table, newest first, filtered by
// number, chip identification and date, and exported to a CSV file.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "RegisterTableModel.h"

namespace station {
class CCardRegister;
}

namespace Ui {
class CRegisterDlg;
}

class CRegisterDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDD = 180;
    static constexpr int IDC_NUMBER = 1301;
    static constexpr int IDC_UID = 1302;
    static constexpr int IDC_FROM = 1303;
    static constexpr int IDC_FROM_DATE = 1304;
    static constexpr int IDC_TO = 1305;
    static constexpr int IDC_TO_DATE = 1306;
    static constexpr int IDC_SHOW = 1307;
    static constexpr int IDC_TABLE = 1308;
    static constexpr int IDC_COUNT = 1309;
    static constexpr int IDC_EXPORT = 1310;

    // The register must outlive the dialog.
    CRegisterDlg(station::CCardRegister& cardRegister, QWidget* parent = nullptr);
    ~CRegisterDlg() override;

    // Shows the rows that pass the filter fields; false (after a message) when the register
    // cannot be read.
    bool ShowRows();
    const CRegisterTableModel& Rows() const { return m_rows; }

    // Writes the rows shown to path; false after a message naming the file and the reason.
    bool ExportTo(const QString& path, const station::CsvOptions& options = {});

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    station::RegisterFilter Filter() const;
    void OnExport();
    void EnableDates();

    std::unique_ptr<Ui::CRegisterDlg> m_ui;
    station::CCardRegister& m_register;
    CRegisterTableModel m_rows;
    bool m_bInitialised = false;
};
