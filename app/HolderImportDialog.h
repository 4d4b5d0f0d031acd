// The import of the personnel department's holder list: a file, its encoding and separator
// (found, changeable), a column for each holder field (found by the header, changeable), the
// file's first lines and what the import would add, change, mark as left and refuse, then
// "Import". Nothing is stored before that, and a list with a refused line not at all.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "station/register/HolderListImport.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CHolderImportDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_FILE = 1420;
    static constexpr int IDC_CHOOSE = 1421;
    static constexpr int IDC_ENCODING = 1422;
    static constexpr int IDC_SEPARATOR = 1423;
    static constexpr int IDC_FIRST_COLUMN = 1424;  // one combo per field, in kHolderFields' order
    static constexpr int IDC_MARK_LEFT = 1430;
    static constexpr int IDC_LINES = 1431;
    static constexpr int IDC_PLAN = 1432;
    static constexpr int IDC_SUMMARY = 1433;
    static constexpr int IDC_IMPORT = 1434;
    static constexpr int IDCANCEL = 2;

    // The register must outlive the dialog.
    explicit CHolderImportDialog(station::CCardRegister& cardRegister, QWidget* parent = nullptr);

    // Reads the file (what "..." does after the file dialog); false when it cannot be read.
    bool LoadFile(const QString& path);
    const station::CHolderListImport& Import() const { return m_import; }
    // What the import stored, once accepted.
    const station::HolderImportPlan& Imported() const { return m_imported; }

  private:
    void ChooseFile();
    void ReadAgain();
    void FillColumns();
    void ColumnsChanged();
    void ShowPlan();
    void ImportList();
    station::CsvReadOptions ReadOptions() const;

    station::CCardRegister& m_register;
    station::CHolderListImport m_import;
    QByteArray m_bytes;
    bool m_loaded = false;
    station::HolderImportPlan m_imported;
    QString m_loadedPath;
    bool m_filling = false;  // the combos are being filled, not changed by the operator

    QLineEdit* m_file = nullptr;
    QComboBox* m_encoding = nullptr;
    QComboBox* m_separator = nullptr;
    std::array<QComboBox*, station::kHolderFieldCount> m_columns = {};
    QCheckBox* m_markLeft = nullptr;
    QTableWidget* m_lines = nullptr;
    QTableWidget* m_plan = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_importButton = nullptr;
};
