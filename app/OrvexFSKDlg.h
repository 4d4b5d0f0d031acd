// The station's main window: the card fields, the chip tabs, the lamps and the log files. It
// is the view of the station's read and write runs (station/), which it drives from its
// buttons and its two cyclic-run timers; it owns the one reader handle and is run modally
// by the start-up loop, which reads its end code.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "StationBusy.h"
#include "station/ReadRun.h"
#include "station/RunCard.h"
#include "station/RunView.h"
#include "station/WriteRun.h"
#include "station/register/RegisterPtr.h"

class QAction;
class QLineEdit;
class QMenu;
class QToolButton;
class QTabBar;
class QTimer;
class CSignalOutput;
class CSettingsWriter;
class CLampStrip;
class CRegisterDlg;
class CHoldersWindow;
class QCompleter;
class QLabel;
class QStringListModel;

namespace Ui {
class COrvexFSKDlg;
}

namespace station {
class CCardRegister;
class CHolderQueue;
struct Holder;
struct RegisterSettings;
}

class COrvexFSKDlg : public QDialog, public station::CRunView {
    Q_OBJECT
  public:
    // End codes of the window besides Accepted (1) and Rejected (2).
    static constexpr int kEndLanguageChanged = 10;

    // System-menu commands.
    static constexpr int IDM_ABOUTBOX = 0x10;
    static constexpr int IDM_INTERFACE = 0x6D;
    static constexpr int IDM_LANCONFIG = 0x276B0;
    static constexpr int IDM_SETTINGS = 0x670;
    static constexpr int IDM_GERMAN = 0x960;
    static constexpr int IDM_ENGLISH = 0x970;
    static constexpr int IDM_REGISTER = 0x980;
    static constexpr int IDM_REGISTER_SETTINGS = 0x990;
    static constexpr int IDM_MANUAL = 0x9A0;
    static constexpr int IDM_HOLDERS = 0x9B0;
    // The holder field above the card fields, the holder of the last card beside the status
    // line and the large name of the person a series writes for next.
    static constexpr int IDC_HOLDER = 1070;
    static constexpr int IDC_HOLDER_OF_CARD = 1071;
    static constexpr int IDC_NEXT_HOLDER = 1072;

    explicit COrvexFSKDlg(QWidget* parent = nullptr);
    ~COrvexFSKDlg() override;

    // Connects the reader and fills the window; runs once, from exec() or from a test.
    void OnInitDialog();
    int exec() override;

    bool ExchangeData(bool save);
    void EnableControls(bool enable);
    void ShowStatusText(const QString& text);
    void StopRuns();
    void ShowErrorLog();
    void FillChipTabs();
    void SelectChipTab(int code);
    void UpdateLanMenuItem();
    void OnSystemCommand(int id);

    // Reader connection and title.
    bool ConnectReader(bool silent);
    void UpdateTitle();

    // Read runs.
    void OnReadOnce();
    void OnReadCyclic();

    // Write runs.
    void OnWriteOnce();
    void OnWriteCyclic();
    // The series toggle's command itself, for a command already under way.
    void ToggleWriteSeries();
    void ShowLamps(int state);
    void SetLampView(bool wide);

    // What the runs show, store and ask (station::CRunView).
    void ShowStatus(const station::Status& status) override;
    void ShowLamps(station::LampState state) override;
    void SignalSuccess() override;
    void SignalFailure() override;
    void ShowFields() override;
    void StoreNextNumber(const QString& number) override;
    bool WaitUntilNumberStored() override;
    void CardWritten(const station::CardRecord& card) override;
    void CardRead(const station::CardRecord& card) override;
    void ReportLogFailure() override;
    QString FailedCardEntry(const station::Status& status,
                            const station::CardRecord& card) override;
    QString NotLoggedEntry(const station::CardRecord& card, const QDateTime& when) override;
    QString NotConfirmedEntry(const station::CardRecord& card, const QString& reason) override;
    bool ConfirmReissue(const station::CardRecord& card, const station::RegisterEntry& earlier,
                        QString& reason) override;
    bool ConfirmOverwrite(const station::CardRecord& card,
                          const station::RegisterEntry& onChip) override;

    // The card register every write goes through, as the settings choose it; nullptr while
    // it is switched off. Opened at start and again after its settings dialog; a register
    // that cannot open stays set, so the run refuses every write with the reason.
    void OpenRegister();
    // A register whose calls run on a thread of their own while the window keeps its events
    // going, so that a database that goes silent never freezes the window.
    static station::RegisterPtr MakeRegister(const station::RegisterSettings& settings);
    station::CCardRegister* Register() const { return m_register.get(); }
    // The register window while it is open (it stays beside the station), else nullptr.
    CRegisterDlg* RegisterWindow() const { return m_registerDlg.get(); }

    // Holders (OrvexFSKDlgHolder.cpp). The holder the next single write is for; a holder
    // with id 0 clears the field.
    void ChooseHolder(const station::Holder& holder);
    // The holders window while it is open, else nullptr.
    CHoldersWindow* HoldersWindow() const { return m_holdersDlg.get(); }
    // Revokes the holder's valid card as lost and writes a replacement with the next free
    // number onto the chip on the reader.
    void ReplaceLostCard(const station::Holder& holder);
    // A write series whose cards go to the holders without a valid card, in the list's order
    // (of department, empty: all).
    void StartHolderSeries(const QString& department);
    void ShowHolder(const QString& name) override;

    // Log files.
    void OnChooseReadLog();
    void OnChooseWriteLog();

    // While the station is busy (a run, a command, or a wait for the reader or the register
    // that keeps the window's events going: StationBusy.h), queues action to run once it is
    // idle and gives true; otherwise false, and the caller goes on at once. So no command
    // starts a second exchange on the handle, ends the window or replaces the register in
    // the middle of a call.
    bool DeferWhileBusy(const std::function<void()>& action);
    bool IsBusy() const;
    // A run or a wait holds the reader: a command of the register or holders window that
    // would use it is refused.
    bool ReaderTaken() const;

    // The menu that stands in for the window's system menu.
    QMenu* SystemMenu() const { return m_systemMenu; }
    // Where signals go; tests put a recorder here.
    void SetSignalOutput(CSignalOutput* output) { m_signals = output; }

    // The card the runs work on; the field members below are names of its parts.
    station::RunCard m_card;

    // Card data and options.
    int& m_nFormat = m_card.target.format;
    int& m_nFacilityCode = m_card.facility;
    int& m_nFixedField = m_card.fixed;
    QString& m_strCustomerNr = m_card.customer;
    QString& m_strUid = m_card.uid;
    int& m_nChipType = m_card.target.chipType;
    int m_bAutoIncrement = 0;
    int m_bLock = 0;
    int m_bVerify = 1;
    int m_bStopAtCount = 0;
    int m_nStopCount = 0;
    int m_bStopAtEnd = 0;
    QString m_strEndValue;
    int m_bReadLog = 0;
    int m_bWriteLog = 0;
    QString m_strReadLogFile;
    QString m_strWriteLogFile;
    QString m_strStatus;
    int m_nCycleTime = 250;
    int m_nBeepTime = 150;
    int m_nSoundType = 1;
    QString m_strSoundSuccess;
    QString m_strSoundFailure;

    // Reader.
    int& m_hPort = m_card.target.handle;
    QString m_strVersion;
    QString m_strDeviceText;
    bool m_bLanReader = false;

    // Runs.
    station::CReadRun m_readRun{*this, m_card};
    station::CWriteRun m_writeRun{*this, m_card};
    int m_nReadTimer = 0;
    int m_nWriteTimer = 0;
    bool m_bInTimer = false;
    int& m_nCount = m_writeRun.count;
    bool m_bValidate = true;
    QString& m_strErrorLog = m_card.errorLog;

    // OK and Cancel ("Schließen", the close box): both store the fields.
    void accept() override;
    void reject() override;

    // Update check: the result of the download has arrived (command 1034).
    void OnUpdateCheckDone();

  protected:
    void timerEvent(QTimerEvent* event) override;
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Enter moves to the next field, Escape stops a run; neither ends the window.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Marks the station busy with a run for the scope's life; deferred commands run once the
    // station is idle again.
    class BusyScope {
      public:
        explicit BusyScope(COrvexFSKDlg&) {}

      private:
        CStationBusy::Scope m_mark;
    };

    void ReadStoredSettings();
    bool RequireReader();
    // Title, chip tabs, controls and menu for the reader now connected (or none), its field off.
    void ShowConnectedReader();
    QString CardText(int format, int facility, const QString& customer) const;
    // The status line's text of a run's status, as the string table words it.
    QString StatusText(const station::Status& status) const;
    // The options of the write runs from the window's fields.
    void SetRunOptions();
    void StopWriteSeries(bool showSummary);
    // "Series finished: N transponders written", in the language's number.
    QString SeriesDoneText() const;
    void StopReadRun();
    static QString DefaultLogPath(const QString& fileName);
    void ReadSignalSettings();
    void CreateLamps();
    void BuildSystemMenu();
    bool ExchangeUnchecked();
    bool ExchangeInt(QLineEdit* edit, int& member, bool save);
    bool CheckRange(QLineEdit* edit, int value, int largest);
    bool CheckNumber64(QLineEdit* edit, const QString& text);
    bool QueryReaderVersion(const QString& openName);
    bool OpenReader(const QString& openName, bool isLan);
    // After a run's timeout: a reader that does not answer is reopened on the same interface,
    // else the station says it is gone and tries again until it is back.
    void CheckReaderLine();
    // Opens the interface in use again without messages; true once the reader answers.
    bool ReopenReader();
    void RetryReader();
    void OnLanConfig();
    bool RunSignalSettingsDialog();
    // The network settings of the reader at port; true with its new address text after OK.
    bool RunLanConfigDialog(const QString& port, QString& newAddress);
    void ConnectControls();
    void StoreSettings();
    void OnFormatChanged(int index);
    void OnChipTabChanged(int index);
    void OnAutoIncrementClicked();
    void OnStopAtCountClicked();
    void OnStopAtEndClicked();
    void OnReadTick();
    void OnWriteTick();
    void ShowCount();
    bool RefuseValue(QWidget* control, const QString& message);
    void RunAboutDialog();
    // Opens the register window beside the station, or brings it to the front.
    void ShowRegisterWindow();
    void ShowHoldersWindow();
    // Shows one of the station's windows beside it, never over its lamps, banner or menu.
    void ShowBesideStation(QWidget* window);
    // The holder field and the labels for holders, built into the form's layout.
    void CreateHolderControls();
    // Fills the holder field's completion with the holders matching its text.
    void CompleteHolder(const QString& text);
    // Before a single write for the chosen holder who has a valid card: asks whether the new
    // card replaces it (which is revoked with the reason given) or is a second one; false
    // when the operator cancels or the register cannot answer.
    bool PrepareHolderCard();
    // Ends a series over holders' hold on the run.
    void EndHolderSeries();
    // "for NAME" beside the status line; empty: nobody.
    void ShowHolderOfCard(const QString& name);
    // The name of the holder a card of the current run is for, empty when not known.
    QString HolderNameOf(const station::CardRecord& card) const;
    // After a write: the open register window shows the rows again once the run returned.
    void RefreshRegisterWindowLater();
    bool RunRegisterSettingsDialog();
    void StartUpdateCheck();
    void ChangeLanguage(int language);
    void CloseWindow(bool ok);

    std::unique_ptr<Ui::COrvexFSKDlg> m_ui;
    QTabBar* m_chipTabs = nullptr;
    QMenu* m_systemMenu = nullptr;
    QToolButton* m_menuButton = nullptr;
    QAction* m_lanConfigAction = nullptr;
    CLampStrip* m_lampStrip = nullptr;
    CSignalOutput* m_signals = nullptr;
    bool m_bInitialised = false;
    // A language switch ended a write series: the next window's status line says so.
    static inline bool s_seriesEndToShow = false;
    std::unique_ptr<CSettingsWriter> m_settingsWriter;
    // Format, facility code and fixed field as last stored with a next number (-1: never).
    std::array<int, 3> m_storedCardFields{-1, -1, -1};
    station::RegisterPtr m_register;
    // The register the window reads while the station does not record (switched off).
    station::RegisterPtr m_storedRegister;
    // Declared after the registers it reads, so that it goes first.
    std::unique_ptr<CRegisterDlg> m_registerDlg;
    bool m_bRegisterRefreshQueued = false;
    std::unique_ptr<CHoldersWindow> m_holdersDlg;
    std::unique_ptr<station::CHolderQueue> m_holderQueue;
    QWidget* m_holderRow = nullptr;  // the holder field with its label
    bool m_lineCheckQueued = false;
    QTimer* m_reopenTimer = nullptr;  // while the reader is gone
    QLineEdit* m_holderEdit = nullptr;
    QString m_holderChosenText;  // the field's text for the holder chosen
    QCompleter* m_holderCompleter = nullptr;
    QStringListModel* m_holderChoices = nullptr;
    std::vector<station::Holder> m_holderMatches;
    QLabel* m_holderOfCardLabel = nullptr;
    // A card was written in the current write series tick (its label names its holder).
    bool m_cardWrittenInTick = false;
    QLabel* m_nextHolderLabel = nullptr;
    // The connected reader's port string and stored interface name.
    QString m_strOpenName;
    QString m_strStoredName;
};
