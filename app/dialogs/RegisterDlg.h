// The register window: the card register's rows in a table, newest first, filtered by
// number, chip identification and date, and exported to a CSV file. It stays open beside the
// station (not modal) and is refreshed after each write. Selecting a row shows its number's
// cards (the valid one first, then the ones it replaced) and their history; a row's context
// menu revokes a card or resolves one whose write was never confirmed.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "RegisterTableModel.h"

class CRegisterExportJob;
class QMenu;
class QAction;

namespace station {
class CCardRegister;
}

namespace Ui {
class CRegisterDlg;
}

// What the station's reader found when a card's chip was laid on it to be read back.
struct ChipReadBack {
    bool read = false;  // a card was read from the chip
    station::CardFields fields;
    QString uid;      // the chip identification, empty where the chip has none
    QString failure;  // why nothing was read, in the operator's words
};
// Reads the chip on the station's reader in the card format and chip type given.
using ChipReader = std::function<ChipReadBack(int format, int chipType)>;

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
    static constexpr int IDC_CARD = 1311;
    static constexpr int IDC_CARDS = 1312;
    static constexpr int IDC_HISTORY = 1313;
    static constexpr int IDC_EXPORT_PROGRESS = 1314;
    static constexpr int IDC_EXPORT_CANCEL = 1315;

    // The register must outlive the dialog.
    CRegisterDlg(station::CCardRegister& cardRegister, QWidget* parent = nullptr);
    ~CRegisterDlg() override;

    // The reader that reads a chip back to resolve a card; without one that choice says so.
    void SetChipReader(ChipReader reader) { m_chipReader = std::move(reader); }

    // Shows the rows that pass the filter fields, the selected card staying selected; false
    // (after a message) when the register cannot be read.
    bool ShowRows();
    // The same after a write, without a message: the reason goes to the count line.
    void Refresh();
    const CRegisterTableModel& Rows() const { return m_rows; }

    // Writes the rows that pass the filter to path in the background, with the progress and a
    // cancel below the table; a failure shows a message naming the file and the reason. False
    // when an export runs already.
    bool ExportTo(const QString& path, const station::CsvOptions& options = {});
    // From the start until the window has shown the result.
    bool ExportRunning() const;

    // The row context menu's commands, as the menu offers them for the row (tests trigger
    // them through the menu).
    QMenu* RowMenu() const { return m_rowMenu; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    station::RegisterFilter Filter() const;
    bool LoadRows(QString& error);
    // The rows read, "at least" while more pages remain.
    void ShowCount();
    void OnExport();
    void OnExportProgress(qint64 rows, qint64 total);
    void OnExportFinished(bool written, qint64 rows, const QString& error);
    void ShowExportRunning(bool running);
    void EnableDates();
    void OnRowMenu(const QPoint& position);
    void OnRevoke();
    void OnResolve();
    // Reads the chip back; true when it carries the card (uid receives its identification).
    bool ReadBack(const station::RegisterEntry& card, QString& uid);
    // After a change: the rows again, the card still selected, or the reason why not.
    void ChangeDone(bool recorded);
    std::optional<station::RegisterEntry> SelectedEntry() const;
    void SelectEntry(std::int64_t id);
    // The selected row's number: its cards and their history in the pane below the table.
    void ShowSelectedCard();
    void ClearCardPane();

    std::unique_ptr<Ui::CRegisterDlg> m_ui;
    station::CCardRegister& m_register;
    CRegisterTableModel m_rows;
    ChipReader m_chipReader;
    QMenu* m_rowMenu = nullptr;
    QAction* m_revokeAction = nullptr;
    QAction* m_resolveAction = nullptr;
    station::RegisterEntry m_menuEntry;  // the row the menu was opened on
    bool m_bInitialised = false;
    CRegisterExportJob* m_export = nullptr;
    bool m_bExporting = false;
    QString m_exportPath;
};
