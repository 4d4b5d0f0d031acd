#include "OrvexFSKDlg.h"

#include <QContextMenuEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QTabBar>
#include <QTimerEvent>
#include <QToolButton>
#include <algorithm>

#include "AppResources.h"
#include "CardFormats.h"
#include "ChipTypes.h"
#include "ControlId.h"
#include "HoldersWindow.h"
#include "LogFile.h"
#include "MessageBox.h"
#include "OrvexFSKApp.h"
#include "SdkWaitHooks.h"
#include "Settings.h"
#include "SettingsWriter.h"
#include "SignalOutput.h"
#include "StringTable.h"
#include "Trace.h"
#include "WindowPlacement.h"
#include "dialogs/RegisterDlg.h"
#include "station/HolderSeries.h"
#include "station/register/CardRegister.h"
#include "ui_OrvexFSKDlg.h"
#include "vellf.h"

namespace {

constexpr int kStrAbout = 101;
constexpr int kStrInterface = 102;
constexpr int kStrSettings = 103;
constexpr int kStrManual = 11191;
constexpr int kStrMenuTip = 11192;
constexpr int kStrChipTabsTip = 11302;
constexpr int kStrLanConfig = 10091;
constexpr int kStrRegister = 11120;
constexpr int kStrHolders = 11530;
constexpr int kStrRegisterSettings = 11121;
constexpr int kStrSettingsNotSaved = 11117;
constexpr int kStrNotAnInteger = 61712;
constexpr int kStrRange = 61714;
constexpr int kStrValueTooLarge = 136;
constexpr int kStrNoReader = 11101;
constexpr int kStrEndedByLanguage = 11920;

const QString kSettings = QStringLiteral("Settings");
const QString kProtokoll = QStringLiteral("Protokoll");

// Reads an edit as an int the way dialog data exchange does: blanks around a signed
// decimal number; anything else is refused.
bool ParseInt(const QString& text, int& value) {
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok, 10);
    if (ok) value = parsed;
    return ok;
}

}  // namespace

COrvexFSKDlg::COrvexFSKDlg(QWidget* parent) : QDialog(parent), m_ui(new Ui::COrvexFSKDlg) {
    m_card.fileErrorText = StationFileErrorText;
    InstallSdkWaitHooks();
    m_signals = &DefaultSignalOutput();
    m_settingsWriter = std::make_unique<CSettingsWriter>();

    ReadStoredSettings();
    m_bReadLog = GetSettingInt(kProtokoll, "ReadLogEnable", 0);
    m_bWriteLog = GetSettingInt(kProtokoll, "WriteLogEnable", 0);
    m_strWriteLogFile = GetSettingString(kProtokoll, "WriteLogFileName", "");
    if (m_strWriteLogFile.isEmpty()) {
        m_strWriteLogFile = DefaultLogPath("Protokoll_S.txt");
        PutSettingString(kProtokoll, "WriteLogFileName", m_strWriteLogFile);
    }
    m_strReadLogFile = GetSettingString(kProtokoll, "ReadLogFileName", "");
    if (m_strReadLogFile.isEmpty()) {
        m_strReadLogFile = DefaultLogPath("Protokoll_L.txt");
        PutSettingString(kProtokoll, "ReadLogFileName", m_strReadLogFile);
    }
    ReadSignalSettings();

    m_ui->setupUi(this);
    setWindowIcon(LoadAppIcon());
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // No button is the default: Enter in a field would start a run unasked (see keyPressEvent).
    m_ui->closeButton->setAutoDefault(false);

    m_chipTabs = new QTabBar(this);
    SetControlId(m_chipTabs, 1021);
    m_chipTabs->setShape(QTabBar::RoundedNorth);
    m_chipTabs->setExpanding(false);
    m_chipTabs->setDrawBase(false);
    m_chipTabs->setToolTip(LoadString(kStrChipTabsTip));
    m_ui->chipTabLayout->addWidget(m_chipTabs, 1);

    auto* menuButton = new QToolButton(this);
    menuButton->setObjectName("systemMenuButton");
    menuButton->setText(QStringLiteral("\u2630"));
    menuButton->setAutoRaise(true);
    menuButton->setPopupMode(QToolButton::InstantPopup);
    m_systemMenu = new QMenu(this);
    menuButton->setMenu(m_systemMenu);
    m_ui->chipTabLayout->addWidget(menuButton);
    m_menuButton = menuButton;

    const auto digitsOnly = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    m_ui->fixedEdit->setValidator(digitsOnly);
    m_ui->facilityEdit->setValidator(digitsOnly);
    m_ui->customerEdit->setValidator(digitsOnly);

    m_ui->writeOnceButton->installEventFilter(this);
    m_ui->readOnceButton->installEventFilter(this);

    CreateLamps();
    CreateHolderControls();
    ConnectControls();
    ExchangeData(false);
}

// Stored values outside their range (a hand-edited file, a file of another version) count
// as missing: a format or chip the window does not offer would otherwise write nothing and
// report success, and a number beyond every format's range could overflow when raised.
void COrvexFSKDlg::ReadStoredSettings() {
    m_nFormat = GetSettingInt(kSettings, "Typ", 0);
    if (!IsCardFormat(m_nFormat)) m_nFormat = 0;
    m_nFacilityCode = GetSettingInt(kSettings, "FacilityCode", 255);
    const int largestFacility =
        FormatHasFacility(m_nFormat) ? kCardFormats[m_nFormat].maxFacility : 255;
    if (m_nFacilityCode < 0 || m_nFacilityCode > largestFacility) m_nFacilityCode = 255;
    m_nFixedField = GetSettingInt(kSettings, "FixedField", 0);
    if (m_nFixedField < 0 || m_nFixedField > kCardFormats[5].maxFixed) m_nFixedField = 0;
    m_strCustomerNr = GetSettingString(kSettings, "CustomerNr", "0");
    if (!IsStoredNumber(m_strCustomerNr)) m_strCustomerNr = "0";
    m_strEndValue = "0";
    m_bAutoIncrement = GetSettingInt(kSettings, "Autoincrement", 1) != 0 ? 1 : 0;
    m_bVerify = GetSettingInt(kSettings, "Verify", 1) != 0 ? 1 : 0;
    m_nChipType = GetSettingInt(kSettings, "TransponderTyp", 9);
    if (std::none_of(std::begin(kChipTypes), std::end(kChipTypes),
                     [this](const ChipTypeInfo& chip) { return chip.code == m_nChipType; }))
        m_nChipType = 9;
    m_nCount = std::max(0, GetSettingInt(kSettings, "Anzahl", 0));
}

COrvexFSKDlg::~COrvexFSKDlg() {
    if (m_nWriteTimer != 0) killTimer(m_nWriteTimer);
    if (m_nReadTimer != 0) killTimer(m_nReadTimer);
    if (m_hPort != 0) LfClosePort(m_hPort);
}

void COrvexFSKDlg::ReadSignalSettings() {
    // A hand-edited period below 1 ms would give runs whose timer never starts.
    m_nCycleTime = std::max(1, GetSettingInt(kSettings, "ZyklusZeit", 250));
    m_nBeepTime = GetSettingInt(kSettings, "BeepTime", 150);
    if (m_nBeepTime < 0) m_nBeepTime = 150;
    m_nSoundType = GetSettingInt(kSettings, "SoundTyp", 1);
    if (m_nSoundType < 0 || m_nSoundType > 2) m_nSoundType = 1;
    m_strSoundSuccess = GetSettingString(kSettings, "SoundNameErfolg", "");
    m_strSoundFailure = GetSettingString(kSettings, "SoundNameFehler", "");
}

void COrvexFSKDlg::ConnectControls() {
    connect(m_ui->formatBox, &QComboBox::activated, this, &COrvexFSKDlg::OnFormatChanged);
    connect(m_chipTabs, &QTabBar::currentChanged, this, &COrvexFSKDlg::OnChipTabChanged);
    connect(m_ui->autoIncrementCheck, &QCheckBox::clicked, this,
            &COrvexFSKDlg::OnAutoIncrementClicked);
    connect(m_ui->stopAtCountCheck, &QCheckBox::clicked, this, &COrvexFSKDlg::OnStopAtCountClicked);
    connect(m_ui->stopAtEndCheck, &QCheckBox::clicked, this, &COrvexFSKDlg::OnStopAtEndClicked);
    connect(m_ui->readOnceButton, &QPushButton::clicked, this, &COrvexFSKDlg::OnReadOnce);
    connect(m_ui->readCyclicButton, &QPushButton::clicked, this, &COrvexFSKDlg::OnReadCyclic);
    connect(m_ui->writeOnceButton, &QPushButton::clicked, this, &COrvexFSKDlg::OnWriteOnce);
    connect(m_ui->writeCyclicButton, &QPushButton::clicked, this, &COrvexFSKDlg::OnWriteCyclic);
    connect(m_ui->readLogButton, &QToolButton::clicked, this, &COrvexFSKDlg::OnChooseReadLog);
    connect(m_ui->writeLogButton, &QToolButton::clicked, this, &COrvexFSKDlg::OnChooseWriteLog);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &COrvexFSKDlg::reject);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [] { COrvexFSKApp::OpenManual(); });
}

int COrvexFSKDlg::exec() {
    // Placed before its native window exists, so the position counts as the frame's; shown
    // before the reader is connected, so that its messages and the interface choice come
    // with the station behind them rather than out of nowhere.
    RestoreWindowPosition(this);
    // With its chip tabs already, so that it does not grow under the operator's eyes.
    FillChipTabs();
    // Not modal: the register and holders windows are ordinary windows beside it, and the
    // one the operator activates comes to the front.
    show();
    if (!m_bInitialised) OnInitDialog();
    if (isVisible()) {
        QEventLoop loop;
        connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::DialogExec);
    }
    return result();
}

void COrvexFSKDlg::OnInitDialog() {
    m_bInitialised = true;
    // The window is up meanwhile: a command that comes during the first connection (the
    // close box, a language) waits until it has ended.
    const BusyScope busy(*this);
    BuildSystemMenu();
    // Without a reader (the interface choice cancelled) the station stays open: the runs
    // refuse with their message and the menu offers the interface again.
    ConnectReader(true);
    ShowConnectedReader();
    OpenRegister();
    // After a language switch during a series its end matters more than the register's
    // place; a register that failed to open keeps its reason on the status line.
    if (s_seriesEndToShow && (m_register == nullptr || m_register->IsOpen()))
        ShowStatusText(LoadString(kStrEndedByLanguage).arg(SeriesDoneText()));
    s_seriesEndToShow = false;
    StartUpdateCheck();
}

void COrvexFSKDlg::ShowConnectedReader() {
    UpdateTitle();
    FillChipTabs();
    EnableControls(true);
    LfResetField(m_hPort, 0);
    UpdateLanMenuItem();
}

void COrvexFSKDlg::BuildSystemMenu() {
    m_systemMenu->clear();
    const QString about = LoadString(kStrAbout);
    m_menuButton->setVisible(!about.isEmpty());
    if (about.isEmpty()) return;
    m_menuButton->setToolTip(LoadString(kStrMenuTip));
    auto addText = [this](int id, const QString& text) {
        QAction* action = m_systemMenu->addAction(text);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { OnSystemCommand(id); });
        return action;
    };
    auto add = [&addText](int id, int textId) { return addText(id, LoadString(textId)); };
    // Each language is named in its own words, so that it is found by one who reads only it.
    const QString german = QStringLiteral("Deutsch");
    const QString english = QStringLiteral("English");
    add(IDM_INTERFACE, kStrInterface);
    m_lanConfigAction = add(IDM_LANCONFIG, kStrLanConfig);
    add(IDM_SETTINGS, kStrSettings);
    m_systemMenu->addSeparator();
    add(IDM_REGISTER, kStrRegister);
    add(IDM_HOLDERS, kStrHolders);
    add(IDM_REGISTER_SETTINGS, kStrRegisterSettings);
    m_systemMenu->addSeparator();
    const int language = GetSettingInt(kSettings, "Sprache", 0);
    if (language != 0) addText(IDM_GERMAN, german);
    if (language != 1) addText(IDM_ENGLISH, english);
    m_systemMenu->addSeparator();
    add(IDM_MANUAL, kStrManual);
    add(IDM_ABOUTBOX, kStrAbout);
    UpdateLanMenuItem();
}

void COrvexFSKDlg::UpdateLanMenuItem() {
    if (m_lanConfigAction != nullptr) m_lanConfigAction->setEnabled(m_bLanReader);
}

void COrvexFSKDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_systemMenu->isEmpty()) m_systemMenu->exec(event->globalPos());
}

void COrvexFSKDlg::OnSystemCommand(int id) {
    if (DeferWhileBusy([this, id] { OnSystemCommand(id); })) return;
    // Busy while it runs: a command deferred meanwhile never runs inside its dialogs.
    const BusyScope busy(*this);
    // Command ids keep internal flags in their low four bits.
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        StopRuns();
        RunAboutDialog();
        EnableControls(true);
        return;
    }
    if (id == IDM_MANUAL) {
        COrvexFSKApp::OpenManual();
        return;
    }
    if (id == IDM_INTERFACE) {
        StopRuns();
        ConnectReader(false);
        ShowConnectedReader();
        ExchangeData(false);
        return;
    }
    switch (id >> 4) {
        case IDM_LANCONFIG >> 4:
            if (m_lanConfigAction != nullptr && m_lanConfigAction->isEnabled()) OnLanConfig();
            break;
        case IDM_SETTINGS >> 4:
            StopRuns();
            if (RunSignalSettingsDialog()) ReadSignalSettings();
            break;
        case IDM_REGISTER >> 4:
            // The window stays open beside the station: a running series goes on.
            ShowRegisterWindow();
            break;
        case IDM_HOLDERS >> 4:
            ShowHoldersWindow();
            break;
        case IDM_REGISTER_SETTINGS >> 4:
            // Deferred above while a register call waits further up the stack (its wait runs
            // the window's events): the register is replaced only once that call returned.
            StopRuns();
            if (RunRegisterSettingsDialog()) {
                // What the status line said concerned the register as it was.
                ShowStatusText(QString());
                // An open register window comes back on the register now chosen.
                const bool reopen = m_registerDlg != nullptr && m_registerDlg->isVisible();
                OpenRegister();
                if (reopen) ShowRegisterWindow();
            }
            break;
        case IDM_GERMAN >> 4:
            ChangeLanguage(0);
            break;
        case IDM_ENGLISH >> 4:
            ChangeLanguage(1);
            break;
        default:
            break;
    }
}

void COrvexFSKDlg::FillChipTabs() {
    const QSignalBlocker blocker(m_chipTabs);
    while (m_chipTabs->count() > 0) m_chipTabs->removeTab(0);
    for (const ChipTypeInfo& chip : kChipTypes) {
        const int index = m_chipTabs->addTab(ChipName(chip.code));
        m_chipTabs->setTabData(index, chip.code);
    }
    // A tab bar always shows a current tab; with no matching code none is marked as the
    // program's choice, so the first is shown selected, as a tab control does by itself.
    SelectChipTab(m_nChipType);
}

void COrvexFSKDlg::SelectChipTab(int code) {
    for (int i = 0; i < m_chipTabs->count(); ++i) {
        if (m_chipTabs->tabData(i).toInt() == code) {
            const QSignalBlocker blocker(m_chipTabs);
            m_chipTabs->setCurrentIndex(i);
            return;
        }
    }
}

void COrvexFSKDlg::OnFormatChanged(int index) {
    if (index != -1 && index != m_nFormat) {
        m_nFormat = index;
        EnableControls(true);
    }
}

void COrvexFSKDlg::OnChipTabChanged(int index) {
    const int code = index < 0 ? -1 : m_chipTabs->tabData(index).toInt();
    if (code != m_nChipType) {
        SelectChipTab(code);
        m_nChipType = code;
        EnableControls(true);
    }
}

void COrvexFSKDlg::OnAutoIncrementClicked() {
    m_bAutoIncrement = m_ui->autoIncrementCheck->isChecked() ? 1 : 0;
    ExchangeUnchecked();
    EnableControls(true);
}

void COrvexFSKDlg::OnStopAtCountClicked() {
    if (m_bStopAtEnd != 0) {
        m_bStopAtEnd = 0;
        m_ui->stopAtEndCheck->setChecked(false);
    }
    ExchangeUnchecked();
}

void COrvexFSKDlg::OnStopAtEndClicked() {
    if (m_bStopAtCount != 0) {
        m_bStopAtCount = 0;
        m_ui->stopAtCountCheck->setChecked(false);
    }
    ExchangeUnchecked();
}

bool COrvexFSKDlg::ExchangeUnchecked() {
    m_bValidate = false;
    const bool ok = ExchangeData(true);
    m_bValidate = true;
    return ok;
}

bool COrvexFSKDlg::RefuseValue(QWidget* control, const QString& message) {
    ShowMessage(message, MessageIcon::Warning);
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    return false;
}

bool COrvexFSKDlg::ExchangeInt(QLineEdit* edit, int& member, bool save) {
    if (!save) {
        edit->setText(QString::number(member));
        return true;
    }
    if (!ParseInt(edit->text(), member)) return RefuseValue(edit, LoadString(kStrNotAnInteger));
    return true;
}

bool COrvexFSKDlg::CheckRange(QLineEdit* edit, int value, int largest) {
    if (value >= 0 && value <= largest) return true;
    return RefuseValue(edit, LoadString(kStrRange).arg(0).arg(largest));
}

bool COrvexFSKDlg::CheckNumber64(QLineEdit* edit, const QString& text) {
    const std::int64_t largest = kCardFormats[m_nFormat].maxCustomer;
    const std::int64_t value = ParseNumber64(text);
    if (value >= 0 && value <= largest) return true;
    return RefuseValue(
        edit, FormatMessage(LoadString(kStrValueTooLarge), static_cast<long long>(largest)));
}

bool COrvexFSKDlg::ExchangeData(bool save) {
    Ui::COrvexFSKDlg& ui = *m_ui;
    auto exchangeCheck = [save](QAbstractButton* box, int& member) {
        if (save)
            member = box->isChecked() ? 1 : 0;
        else
            box->setChecked(member != 0);
    };
    auto exchangeText = [save](QLineEdit* edit, QString& member) {
        if (save)
            member = edit->text();
        else
            edit->setText(member);
    };
    auto exchangeLabel = [save](QLabel* label, QString& member) {
        if (save)
            member = label->text();
        else
            label->setText(member);
    };

    if (save) {
        const int index = ui.formatBox->currentIndex();
        m_nFormat = index;
    } else {
        ui.formatBox->setCurrentIndex(IsCardFormat(m_nFormat) ? m_nFormat : -1);
    }
    exchangeText(ui.uidEdit, m_strUid);
    exchangeCheck(ui.autoIncrementCheck, m_bAutoIncrement);
    exchangeCheck(ui.readLogCheck, m_bReadLog);
    exchangeCheck(ui.writeLogCheck, m_bWriteLog);
    exchangeLabel(ui.writeLogPath, m_strWriteLogFile);
    exchangeLabel(ui.readLogPath, m_strReadLogFile);
    exchangeCheck(ui.lockCheck, m_bLock);
    exchangeCheck(ui.verifyCheck, m_bVerify);

    if (!ExchangeInt(ui.countEdit, m_nCount, save) ||
        !ExchangeInt(ui.stopCountEdit, m_nStopCount, save))
        return false;

    exchangeCheck(ui.stopAtEndCheck, m_bStopAtEnd);
    exchangeCheck(ui.stopAtCountCheck, m_bStopAtCount);
    exchangeText(ui.statusEdit, m_strStatus);

    const bool checkRanges = save && m_bValidate && IsCardFormat(m_nFormat);
    if (!ExchangeInt(ui.facilityEdit, m_nFacilityCode, save)) return false;
    if (checkRanges && FormatHasFacility(m_nFormat) &&
        !CheckRange(ui.facilityEdit, m_nFacilityCode, kCardFormats[m_nFormat].maxFacility))
        return false;

    exchangeText(ui.customerEdit, m_strCustomerNr);
    // An empty number would be written as 0 and logged as an empty field.
    if (checkRanges && m_strCustomerNr.trimmed().isEmpty())
        return RefuseValue(ui.customerEdit, LoadString(kStrNotAnInteger));
    if (checkRanges && !CheckNumber64(ui.customerEdit, m_strCustomerNr)) return false;

    if (!ExchangeInt(ui.fixedEdit, m_nFixedField, save)) return false;
    if (checkRanges && FormatHasFixedField(m_nFormat) &&
        !CheckRange(ui.fixedEdit, m_nFixedField, kCardFormats[m_nFormat].maxFixed))
        return false;

    if (save) {
        // Before the tabs exist (a window closed because its reader never answered) the
        // stored chip type is kept rather than overwritten with "none".
        const int current = m_chipTabs->currentIndex();
        if (m_chipTabs->count() > 0)
            m_nChipType = current < 0 ? 0 : m_chipTabs->tabData(current).toInt();
    } else {
        SelectChipTab(m_nChipType);
    }

    if (ui.autoIncrementCheck->isEnabled()) {
        ui.stopAtEndCheck->setEnabled(m_bAutoIncrement != 0);
        ui.endValueEdit->setEnabled(m_bStopAtEnd != 0 && m_bAutoIncrement != 0);
    }
    if (ui.stopAtCountCheck->isEnabled()) ui.stopCountEdit->setEnabled(m_bStopAtCount != 0);

    exchangeText(ui.endValueEdit, m_strEndValue);
    if (checkRanges && m_bStopAtEnd != 0 && m_bAutoIncrement != 0 &&
        !CheckNumber64(ui.endValueEdit, m_strEndValue))
        return false;
    return true;
}

void COrvexFSKDlg::EnableControls(bool enable) {
    if (enable) SetLampView(false);
    Ui::COrvexFSKDlg& ui = *m_ui;
    const bool hasFacility = FormatHasFacility(m_nFormat);
    const bool hasFixed = FormatHasFixedField(m_nFormat);

    for (QWidget* control :
         {static_cast<QWidget*>(m_chipTabs), static_cast<QWidget*>(ui.formatBox),
          static_cast<QWidget*>(ui.autoIncrementCheck), static_cast<QWidget*>(ui.readOnceButton),
          static_cast<QWidget*>(ui.readCyclicButton), static_cast<QWidget*>(ui.writeOnceButton),
          static_cast<QWidget*>(ui.writeCyclicButton), static_cast<QWidget*>(ui.closeButton),
          static_cast<QWidget*>(ui.writeLogCheck), static_cast<QWidget*>(ui.writeLogButton),
          static_cast<QWidget*>(ui.readLogCheck), static_cast<QWidget*>(ui.readLogButton),
          static_cast<QWidget*>(ui.lockCheck), static_cast<QWidget*>(ui.verifyCheck),
          static_cast<QWidget*>(ui.stopAtCountCheck)})
        control->setEnabled(enable);
    ui.writeLogPath->setEnabled(true);
    ui.readLogPath->setEnabled(true);
    // A series takes its holders from the holders window, never from the field.
    if (m_holderEdit != nullptr) m_holderEdit->setEnabled(enable);

    ui.facilityEdit->setEnabled(enable);
    ui.facilityEdit->setReadOnly(!(enable && hasFacility));
    ui.facilityEdit->setVisible(hasFacility);
    ui.facilityLabel->setEnabled(true);
    ui.facilityLabel->setVisible(hasFacility);

    ui.customerEdit->setEnabled(enable);
    ui.customerEdit->setReadOnly(!enable);

    ui.fixedEdit->setEnabled(enable);
    ui.fixedEdit->setReadOnly(!(enable && hasFixed));
    ui.fixedEdit->setVisible(hasFixed);
    ui.fixedLabel->setEnabled(hasFixed);
    ui.fixedLabel->setVisible(hasFixed);

    ui.formatLabel->setEnabled(true);
    ui.customerLabel->setEnabled(true);
    ui.uidLabel->setVisible(true);
    ui.uidEdit->setVisible(true);

    ui.stopCountEdit->setEnabled(enable && m_bStopAtCount != 0);
    ui.stopAtEndCheck->setEnabled(enable && m_bAutoIncrement != 0);
    ui.endValueEdit->setEnabled(enable && m_bStopAtEnd != 0 && m_bAutoIncrement != 0);
}

void COrvexFSKDlg::ShowStatusText(const QString& text) {
    m_strStatus = text;
    m_ui->statusEdit->setText(m_strStatus);
    // The line shows a message's start (the words that say success or failure); the whole
    // of a long one is in the tooltip.
    m_ui->statusEdit->setCursorPosition(0);
    m_ui->statusEdit->setToolTip(m_strStatus);
    if (isVisible()) m_ui->statusEdit->repaint();
    TraceOut(m_strStatus + "\n");
}

void COrvexFSKDlg::StopRuns() {
    // The runs end before the error list is shown, so that no tick adds to it meanwhile, and
    // the reader leaves background mode as when the operator releases a toggle.
    if (m_nReadTimer != 0) {
        StopReadRun();
        m_ui->readCyclicButton->setChecked(false);
    }
    if (m_nWriteTimer != 0) {
        StopWriteSeries(true);
        m_ui->writeCyclicButton->setChecked(false);
    }
    if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
    ShowErrorLog();
}

bool COrvexFSKDlg::RequireReader() {
    if (m_hPort != 0) return true;
    ShowMessage(LoadString(kStrNoReader));
    return false;
}

bool COrvexFSKDlg::IsBusy() const {
    return CStationBusy::IsBusy();
}

bool COrvexFSKDlg::ReaderTaken() const {
    return CStationBusy::Waiting() || m_nWriteTimer != 0 || m_nReadTimer != 0;
}

bool COrvexFSKDlg::DeferWhileBusy(const std::function<void()>& action) {
    return CStationBusy::Defer(this, action);
}

void COrvexFSKDlg::StoreSettings() {
    // The numbers stored during a series come first; these values are the last word.
    bool stored = m_settingsWriter->WaitUntilWritten();
    StoreWindowPosition(this);
    for (const bool ok :
         {PutSettingInt(kSettings, "TransponderTyp", m_nChipType),
          PutSettingInt(kSettings, "Autoincrement", m_bAutoIncrement),
          PutSettingInt(kSettings, "Typ", m_nFormat),
          PutSettingInt(kSettings, "FacilityCode", m_nFacilityCode),
          PutSettingString(kSettings, "CustomerNr", m_strCustomerNr),
          PutSettingInt(kSettings, "FixedField", m_nFixedField),
          PutSettingInt(kSettings, "Verify", m_bVerify), PutSettingInt(kSettings, "Anzahl", m_nCount),
          PutSettingInt(kProtokoll, "ReadLogEnable", m_bReadLog),
          PutSettingInt(kProtokoll, "WriteLogEnable", m_bWriteLog)})
        stored = stored && ok;
    if (!stored)
        ShowMessage(LoadString(kStrSettingsNotSaved).arg(SettingsFilePath()), MessageIcon::Error);
}

void COrvexFSKDlg::accept() {
    if (!DeferWhileBusy([this] { accept(); })) CloseWindow(true);
}

void COrvexFSKDlg::reject() {
    if (!DeferWhileBusy([this] { reject(); })) CloseWindow(false);
}

void COrvexFSKDlg::CloseWindow(bool ok) {
    // A run still going (Escape or the close box during a series) is stopped first, as its
    // own toggle would; the window never ends in the middle of an exchange.
    if (m_nReadTimer != 0 || m_nWriteTimer != 0)
        StopRuns();
    else
        ShowErrorLog();
    if (!ExchangeUnchecked() && ok) return;
    StoreSettings();
    if (ok)
        QDialog::accept();
    else
        QDialog::reject();
}

void COrvexFSKDlg::ChangeLanguage(int language) {
    // The next window reads the fields from the settings, so they are stored as Cancel
    // stores them; otherwise it would start with the number of an earlier start. A series
    // ended here is reported by that window, in its language, with the count stored.
    s_seriesEndToShow = m_nWriteTimer != 0;
    StopRuns();
    ExchangeUnchecked();
    StoreSettings();
    PutSettingInt(kSettings, "Sprache", language);
    done(kEndLanguageChanged);
}

void COrvexFSKDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A read run would replace what was typed with the card on the reader unseen.
            focusNextChild();
            return;
        case Qt::Key_Escape: {
            // Escape stops a run; an accidental one never ends the station (the close button,
            // "Schließen" and the window manager do).
            const auto stop = [this] {
                if (m_nReadTimer != 0 || m_nWriteTimer != 0) StopRuns();
            };
            if (!DeferWhileBusy(stop)) stop();
            return;
        }
        default:
            QDialog::keyPressEvent(event);
    }
}

bool COrvexFSKDlg::eventFilter(QObject* watched, QEvent* event) {
    // The second click of a double click on a single run would read or write the same chip
    // once more (with the next number, after a write); a single run is one click. The second
    // press comes with a double-click event: the button is released without a click.
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == m_ui->writeOnceButton || watched == m_ui->readOnceButton)) {
        static_cast<QAbstractButton*>(watched)->setDown(false);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void COrvexFSKDlg::timerEvent(QTimerEvent* event) {
    // Ticks that arrive while one is handled (during an SDK wait in background mode or a
    // message box) or while any call waits (the register window's, say) fall through, so
    // ticks never nest and never run inside a call.
    if (m_bInTimer || CStationBusy::Waiting()) {
        QDialog::timerEvent(event);
        return;
    }
    m_bInTimer = true;
    {
        const BusyScope busy(*this);
        if (event->timerId() == m_nReadTimer && m_nReadTimer != 0)
            OnReadTick();
        else if (event->timerId() == m_nWriteTimer && m_nWriteTimer != 0)
            OnWriteTick();
        QDialog::timerEvent(event);
        m_bInTimer = false;
    }
}
