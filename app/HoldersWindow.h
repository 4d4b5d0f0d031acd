// The holders window: the register's people, searched by name or personnel number as the
// operator types, filtered by department and by "without a valid card"; a holder's cards with
// their states and the selected card's history. Holders are added and changed by hand, a
// holder list is imported, a lost card is replaced and a series writes cards for everyone
// still without one. It stays open beside the station (not modal); writing is the station's:
// the window asks it through the hooks below.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "station/register/Holders.h"

class CRegisterExportJob;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CHoldersWindow : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_SEARCH = 1401;
    static constexpr int IDC_DEPARTMENT = 1402;
    static constexpr int IDC_WITHOUT_CARD = 1403;
    static constexpr int IDC_HOLDERS = 1404;
    static constexpr int IDC_CARDS = 1405;
    static constexpr int IDC_HISTORY = 1406;
    static constexpr int IDC_ADD = 1407;
    static constexpr int IDC_EDIT = 1408;
    static constexpr int IDC_IMPORT = 1409;
    static constexpr int IDC_LOST = 1410;
    static constexpr int IDC_SERIES = 1411;
    static constexpr int IDC_COUNT = 1412;
    static constexpr int IDC_EXPORT_VALID = 1413;
    static constexpr int IDC_EXPORT_BLOCKED = 1414;

    // The register must outlive the window.
    explicit CHoldersWindow(station::CCardRegister& cardRegister, QWidget* parent = nullptr);
    ~CHoldersWindow() override;

    // The station's part: a lost card replaced for the holder, a series for the department
    // (empty: all). Without a hook the button stays off.
    void SetLostCardHook(std::function<void(const station::Holder&)> hook);
    void SetSeriesHook(std::function<void(const QString& department)> hook);
    // Opens the holder list import; without a hook the button stays off.
    void SetImportHook(std::function<void()> hook);

    // Reads the holders passing the filter again, the selected one staying selected.
    void Refresh();
    const std::vector<station::Holder>& Shown() const { return m_shown; }
    // The holder selected in the list, nullptr when none.
    const station::Holder* Selected() const;

    // Writes the valid cards or the block list for the access-control system to a file the
    // operator chooses, in the background.
    void ExportForAccessControl(bool valid);
    // From the start until the window has shown the result.
    bool ExportRunning() const { return m_exportRunning; }

  private:
    void BuildLayout();
    void FillDepartments();
    void ShowCards();
    void ShowHistory();
    void EditHolder(bool add);
    void UpdateButtons();

    station::CCardRegister& m_register;
    QLineEdit* m_search = nullptr;
    QComboBox* m_department = nullptr;
    QCheckBox* m_withoutCard = nullptr;
    QTableWidget* m_holders = nullptr;
    QTableWidget* m_cards = nullptr;
    QTableWidget* m_history = nullptr;
    QLabel* m_count = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_lost = nullptr;
    QPushButton* m_series = nullptr;
    QPushButton* m_exportValid = nullptr;
    QPushButton* m_exportBlocked = nullptr;
    CRegisterExportJob* m_export = nullptr;
    bool m_exportRunning = false;
    QString m_exportPath;
    std::vector<station::Holder> m_shown;
    std::vector<station::RegisterEntry> m_holderCards;
    std::function<void(const station::Holder&)> m_lostHook;
    std::function<void(const QString&)> m_seriesHook;
    std::function<void()> m_importHook;
};
