#include "PortSelectDlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QListWidgetItem>
#include <QMetaObject>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QStyle>
#include <QTimerEvent>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "AnnouncedReaders.h"
#include "DeviceAccess.h"
#include "DiagnoseDlg.h"
#include "IPAddrSuche.h"
#include "LanAddressText.h"
#include "MessageBox.h"
#include "PrivateFolder.h"
#include "Settings.h"
#include "StringTable.h"
#include "UdevMonitor.h"
#include "UiWait.h"
#include "ui_PortSelectDlg.h"
#include "vellf.h"

namespace {

const QString kSection = QStringLiteral("Port");
const QString kUsbPrefix = QStringLiteral("USB: ");
const QString kLanPrefix = QStringLiteral("LAN: ");
const QString kBluetoothPrefix = QStringLiteral("Bluetooth: ");
const QString kWin32Prefix = QStringLiteral("\\\\.\\");

// String table ids.
constexpr int IDS_DRIVER_PAGE = 10170;
constexpr int IDS_NO_FTDI_DRIVER = 10171;
constexpr int IDS_NO_VCOM_DRIVER = 10172;
constexpr int IDS_LOAD_DRIVER = 10173;
constexpr int IDS_NO_ACCESS = 10174;
constexpr int IDS_NO_SUCH_LINE = 11311;
constexpr int IDS_PARSE_INT = 61712;
constexpr int IDS_PARSE_INT_RANGE = 61714;
constexpr int IDS_PARSE_UINT = 61713;

// Line parameters: the code added to the baud rate.
constexpr int kCodeEvenParity = 1;
constexpr int kCodeOddParity = 2;
constexpr int kCodeTwoStopBits = 3;

constexpr unsigned kTimeoutMin = 10;
constexpr unsigned kTimeoutMax = 300000;
constexpr int kAddressMin = 1;
constexpr int kAddressMax = 255;

// A mode switch talks to the reader at this rate and timeout.
constexpr int kSwitchBaud = 19200;
constexpr int kSwitchTimeoutMs = 100;
constexpr int kUsbModeHid = 1;
constexpr int kUsbModeVirtualCom = 2;

constexpr int kRescanPeriodMs = 1000;
constexpr int kFollowUpScans = 4;
constexpr int kDriverPageWaitMs = 2000;
constexpr int kSwitchWaitMs = 1000;

// Article numbers of the readers that can switch between HID and virtual COM port.
const char* const kSwitchableArticles[] = {"4826-", "4830-", "4840-", "4841-",
                                           "5012-", "5100-", "5101-", "6104-"};

// A serial line: a device path, or COMn / \\.\COMn.
bool IsSerialLineName(const QString& name) {
    static const QRegularExpression comName(QStringLiteral("^(\\\\\\\\\\.\\\\)?COM[1-9]"),
                                            QRegularExpression::CaseInsensitiveOption);
    return name.startsWith('/') || comName.match(name).hasMatch();
}

// Where a list entry's line ends: the port list tags the maker's readers, and virtual readers
// carry their name, in brackets after the line ("/dev/ttyACM0 [Qor Virtual COM]").
qsizetype NameTagStart(const QString& entry) {
    const qsizetype tag = entry.lastIndexOf(QLatin1String(" ["));
    return tag > 0 && entry.endsWith(']') ? tag : entry.size();
}

}  // namespace

bool CPortSelectDlg::s_bRescanBusy = false;

CPortSelectDlg::DeviceSource CPortSelectDlg::SdkDevices() {
    return {LfListComPorts, LfListUsbReaders, LfFindLanReaders, LfPingLanReader,
            LfGetUsbDeviceFlags, CanOpenDevice};
}

CPortSelectDlg::DeviceSource CPortSelectDlg::s_devices = CPortSelectDlg::SdkDevices();

std::function<void(const QUrl&)> CPortSelectDlg::s_openUrl = [](const QUrl& url) {
    QDesktopServices::openUrl(url);
};

CPortSelectDlg::CPortSelectDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CPortSelectDlg>()) {
    m_ui->setupUi(this);
    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    m_ui->editTimeout->setValidator(new QRegularExpressionValidator(digits, this));
    m_ui->editAddress->setValidator(new QRegularExpressionValidator(digits, this));

    connect(m_ui->listInterfaces, &QListWidget::itemSelectionChanged, this,
            &CPortSelectDlg::OnSelectionChanged);
    connect(m_ui->editLine, &QLineEdit::textEdited, this, &CPortSelectDlg::OnLineEdited);
    connect(m_ui->checkEthernet, &QCheckBox::clicked, this, &CPortSelectDlg::OnEthernetClicked);
    connect(m_ui->buttonIpSearch, &QPushButton::clicked, this, &CPortSelectDlg::OnIpSearchClicked);
    connect(m_ui->buttonHidMode, &QPushButton::clicked, this, &CPortSelectDlg::SwitchToHid);
    connect(m_ui->buttonVirtualCom, &QPushButton::clicked, this,
            &CPortSelectDlg::SwitchToVirtualCom);
    AddDiagnoseButton(this, m_ui->buttonLayout, [this] {
        QString entry = m_strName;
        SelectedText(entry);
        return DiagnoseRequest(entry, m_nBaudrate, m_nTimeout, m_bEthernetAktiv != 0);
    });

    m_nBaudrate = GetSettingInt(kSection, "Baudrate", 19200);
    m_strName = GetSettingString(kSection, "Name", QString());
    m_nTimeout = static_cast<unsigned>(GetSettingInt(kSection, "Timeout", 300));
    m_bEthernetAktiv = GetSettingInt(kSection, "EthernetAktiv", 0);
    m_nAdresse = GetSettingInt(kSection, "Adresse", 1);
    ResolveStoredInterface();
}

CPortSelectDlg::~CPortSelectDlg() = default;

QString CPortSelectDlg::GetOpenName() const {
    QString name = m_strName;
    if (name.startsWith(kUsbPrefix) || name.startsWith(kLanPrefix))
        name = name.mid(kUsbPrefix.size());
    if (name.startsWith(kBluetoothPrefix)) name = name.mid(kBluetoothPrefix.size());
    // The SDK frames always carry device address 1.
    return name + ":1";
}

void CPortSelectDlg::ResolveStoredInterface() {
    m_bIsUsb = false;
    m_bIsLan = false;
    if (m_strName.isEmpty()) {
        m_strName = QStringLiteral("COM1");
        PutSettingString(kSection, "Name", m_strName);
    }
    // A line chosen by its path (a udev link, a pseudo-terminal) is not among the enumerated
    // ports; while it exists it is offered with them, so OK does not lose it.
    if (m_strName.startsWith('/') && QFileInfo::exists(m_strName)) m_strStoredLine = m_strName;
    if (m_strName.startsWith('/')) FollowVirtualReader();
    if (m_strName.startsWith(kUsbPrefix)) {
        RefreshDeviceList(DeviceKind::Usb, m_usbReaders);
        if (m_usbReaders.isEmpty()) {
            m_strName.clear();
            PutSettingString(kSection, "Name", m_strName);
            return;
        }
        if (!m_usbReaders.contains(m_strName.mid(kUsbPrefix.size()))) {
            m_strName = kUsbPrefix + m_usbReaders.front();
            PutSettingString(kSection, "Name", m_strName);
        }
        m_bIsUsb = true;
    } else if (m_strName.startsWith(kLanPrefix) && m_bEthernetAktiv != 0) {
        const QByteArray address = m_strName.mid(kLanPrefix.size()).toUtf8();
        if (s_devices.pingLanReader(address.constData()) != 0) {
            m_bIsLan = true;
            return;
        }
        RefreshDeviceList(DeviceKind::Lan, m_lanReaders);
        if (m_lanReaders.isEmpty()) {
            m_strName.clear();
            PutSettingString(kSection, "Name", m_strName);
            return;
        }
        if (!m_lanReaders.contains(m_strName.mid(kLanPrefix.size()))) {
            m_strName = kLanPrefix + m_lanReaders.front();
            PutSettingString(kSection, "Name", m_strName);
        }
        m_bIsLan = true;
    }
}

// A virtual reader gets a new terminal at every start: the one running under the stored name
// takes the place of the line that has gone, as a USB reader that has gone is replaced.
void CPortSelectDlg::FollowVirtualReader() {
    const qsizetype tag = NameTagStart(m_strName);
    if (tag == m_strName.size() || QFileInfo::exists(m_strName.left(tag))) return;
    const QString name = m_strName.mid(tag);
    for (const QString& reader : ListAnnouncedReaders()) {
        if (reader.endsWith(name)) {
            m_strName = reader;
            PutSettingString(kSection, "Name", m_strName);
            return;
        }
    }
}

bool CPortSelectDlg::RefreshDeviceList(DeviceKind kind, QStringList& list) {
    std::vector<char> buffer(kListBufferSize, '\0');
    int used = 0;
    switch (kind) {
        case DeviceKind::Serial:
            used = s_devices.listComPorts(buffer.data(), kListBufferSize);
            break;
        case DeviceKind::Usb:
            used = s_devices.listUsbReaders(buffer.data(), kListBufferSize);
            break;
        case DeviceKind::Lan:
            used = s_devices.findLanReaders(buffer.data(), kListBufferSize);
            break;
    }

    // Merge in order: the list ends up equal to the entries, and any difference counts.
    bool changed = false;
    qsizetype cursor = 0;
    for (const QString& entry : ParseSdkTextList(buffer, used)) {
        if (cursor < list.size()) {
            if (list[cursor] == entry) {
                ++cursor;
                continue;
            }
            list[cursor] = entry;
            list.erase(list.begin() + cursor + 1, list.end());
        } else {
            list.append(entry);
        }
        changed = true;
        cursor = list.size();
    }
    if (cursor < list.size()) {
        list.erase(list.begin() + cursor, list.end());
        changed = true;
    }
    return changed;
}

void CPortSelectDlg::FillInterfaceList() {
    const QSignalBlocker quiet(m_ui->listInterfaces);
    m_ui->listInterfaces->clear();
    for (const QString& port : m_comPorts) {
        const QString text = port.startsWith(kWin32Prefix) ? port.mid(kWin32Prefix.size()) : port;
        m_ui->listInterfaces->addItem(text);
        MarkInaccessibleDevice(m_ui->listInterfaces->item(m_ui->listInterfaces->count() - 1),
                               text.section(QLatin1Char(' '), 0, 0));
    }
    if (!m_strStoredLine.isEmpty() && !m_comPorts.contains(m_strStoredLine))
        m_ui->listInterfaces->addItem(m_strStoredLine);
    for (const QString& reader : m_virtualReaders)
        if (reader != m_strStoredLine) m_ui->listInterfaces->addItem(reader);
    for (const QString& reader : m_usbReaders) {
        m_ui->listInterfaces->addItem(kUsbPrefix + reader);
        MarkInaccessibleDevice(m_ui->listInterfaces->item(m_ui->listInterfaces->count() - 1),
                               reader);
    }
    for (const QString& reader : m_lanReaders) m_ui->listInterfaces->addItem(kLanPrefix + reader);
}

// A reader this user may not open stays in the list (hiding it would leave the operator
// guessing), marked with a warning and a hint about access rights.
void CPortSelectDlg::MarkInaccessibleDevice(QListWidgetItem* item, const QString& name) {
    if (!s_devices.canOpenDevice || s_devices.canOpenDevice(name)) return;
    item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    item->setToolTip(LoadString(IDS_NO_ACCESS).arg(name));
}

int CPortSelectDlg::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CPortSelectDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) OnInitDialog();
}

void CPortSelectDlg::OnInitDialog() {
    if (m_bInitialised) return;
    m_bInitialised = true;
    m_bClosed = false;
    m_bChoiceTyped = false;

    m_ui->checkEthernet->setChecked(m_bEthernetAktiv != 0);
    m_ui->editTimeout->setText(QString::number(m_nTimeout));
    m_ui->editAddress->setText(QString::number(m_nAdresse));

    // Baud rate and line-format code; a remainder without meaning reads as no parity, 1 stop.
    const int code = m_nBaudrate % 100;
    const int baud = m_nBaudrate - code;
    const int parity = code == kCodeEvenParity ? 1 : code == kCodeOddParity ? 2 : 0;
    m_ui->comboParity->setCurrentIndex(parity);
    m_ui->comboStopBits->setCurrentIndex(code == kCodeTwoStopBits ? 1 : 0);
    m_ui->comboBaudrate->setCurrentIndex(
        m_ui->comboBaudrate->findText(QString::number(baud), Qt::MatchExactly));

    if (m_bEthernetAktiv == 0)
        m_lanReaders.clear();
    else if (m_lanReaders.isEmpty())
        RefreshDeviceList(DeviceKind::Lan, m_lanReaders);
    if (m_usbReaders.isEmpty()) RefreshDeviceList(DeviceKind::Usb, m_usbReaders);
    if (m_comPorts.isEmpty()) RefreshDeviceList(DeviceKind::Serial, m_comPorts);
    m_virtualReaders = ListAnnouncedReaders();
    FillInterfaceList();

    if (!SelectByName(m_strName)) {
        if (m_ui->listInterfaces->count() == 1) {
            const QSignalBlocker quiet(m_ui->listInterfaces);
            m_ui->listInterfaces->setCurrentRow(0);
            m_strName = m_ui->listInterfaces->item(0)->text();
        } else {
            m_strName.clear();
        }
    }
    // The field shows the entry the name selected (the name may be only its beginning).
    QString shown = m_strName;
    SelectedText(shown);
    ShowInLineField(shown);
    SetFlagsFromName();
    EnableLineControls();
    UpdateModeButtons(m_strName);
    m_ui->buttonIpSearch->setVisible(m_bEthernetAktiv != 0);

    if (!testAttribute(Qt::WA_Resized)) adjustSize();
    m_minTrackSize = size();
    setMinimumSize(m_minTrackSize);

    m_monitor = new CUdevMonitor(this);
    connect(m_monitor, &CUdevMonitor::DeviceChanged, this, &CPortSelectDlg::RescanDevices,
            Qt::QueuedConnection);
    WatchAnnouncedReaders();
    PostRescan();
}

// A pseudo-terminal brings no device event, so a virtual reader started while the dialog is
// open is seen by its announcement.
void CPortSelectDlg::WatchAnnouncedReaders() {
    const QString folder = AnnouncedReadersFolder();
    if (!MakePrivateFolder(folder)) return;
    m_readerWatcher = new QFileSystemWatcher({folder}, this);
    connect(m_readerWatcher, &QFileSystemWatcher::directoryChanged, this,
            &CPortSelectDlg::PostRescan);
}

void CPortSelectDlg::RescanDevices(int event) {
    if (s_bRescanBusy || m_bClosed) return;
    s_bRescanBusy = true;

    const bool scan =
        event == kDeviceArrival || event == kDevNodesChanged || event == kConfigChanged;
    if (scan) ScanDevices();
    if (CheckUsbDrivers() == kDriversRetry && scan) ScanDevices();

    s_bRescanBusy = false;
    UpdateModeButtons(m_strName);

    // A device arrives in steps (USB device, interfaces, line), so a few more scans follow.
    if (event == kDeviceArrival || event == kDevNodesChanged) {
        StartRescanTimer();
        m_nRescanCount = 1;
    } else if (m_nRescanCount >= 1 && m_nRescanCount <= kFollowUpScans) {
        StartRescanTimer();
        ++m_nRescanCount;
    } else {
        m_nRescanCount = 0;
    }
}

void CPortSelectDlg::ScanDevices() {
    bool changed = false;
    if (m_bEthernetAktiv != 0) {
        changed = RefreshDeviceList(DeviceKind::Lan, m_lanReaders);
    } else if (!m_lanReaders.isEmpty()) {
        m_lanReaders.clear();
        changed = true;
    }
    if (RefreshDeviceList(DeviceKind::Usb, m_usbReaders)) changed = true;
    if (RefreshDeviceList(DeviceKind::Serial, m_comPorts)) changed = true;
    const QStringList announced = ListAnnouncedReaders();
    if (announced != m_virtualReaders) {
        m_virtualReaders = announced;
        changed = true;
    }
    if (changed) FillInterfaceList();
    MarkChoiceInList();
}

int CPortSelectDlg::CheckUsbDrivers() {
    const int flags = s_devices.usbDeviceFlags();
    if (flags == 0) return kDriversDone;
    QString text;
    if (flags & 1) text += LoadString(IDS_NO_FTDI_DRIVER) + '\n';
    if (flags & 2) text += LoadString(IDS_NO_VCOM_DRIVER) + '\n';
    text += LoadString(IDS_LOAD_DRIVER) + '\n';
    OfferDriverDownload(text);
    return kDriversRetry;
}

bool CPortSelectDlg::OfferDriverDownload(const QString& text) {
    if (!AskYesNo(text)) return false;
    s_openUrl(QUrl(LoadString(IDS_DRIVER_PAGE)));
    WaitWithEvents(kDriverPageWaitMs);
    return true;
}

void CPortSelectDlg::UpdateModeButtons(const QString& name) {
    bool enabled = false;
    bool hid = false;
    if (name.startsWith(kUsbPrefix) && IsSwitchableHidReader(name)) {
        enabled = true;
        hid = true;
    } else if (IsSerialLineName(name) && IsVirtualComReader(name)) {
        enabled = true;
    }
    m_ui->buttonHidMode->setEnabled(enabled);
    m_ui->buttonVirtualCom->setEnabled(enabled);
    m_ui->buttonHidMode->setChecked(enabled && hid);
    m_ui->buttonVirtualCom->setChecked(enabled && !hid);
}

bool CPortSelectDlg::IsSwitchableHidReader(const QString& name) {
    if (name.indexOf(QLatin1String(" HID"), 1) < 1) return false;
    return std::any_of(
        std::begin(kSwitchableArticles), std::end(kSwitchableArticles),
        [&name](const char* article) { return name.indexOf(QLatin1String(article), 1) >= 1; });
}

bool CPortSelectDlg::IsVirtualComReader(const QString& name) {
    return name.indexOf(QLatin1String(" [Qor Virtual COM"), 4) >= 0 ||
           name.indexOf(QLatin1String(" [MZ-4 Virtual COM"), 4) >= 0;
}

void CPortSelectDlg::SwitchToHid() {
    const WaitCursor busy;
    int handle = 0;
    if (SelectedText(m_strName) && IsSerialLineName(m_strName) && IsVirtualComReader(m_strName)) {
        handle = LfOpenPort(m_strName.toUtf8().constData(), kSwitchBaud, 0, kSwitchTimeoutMs);
    }
    FinishSwitch(handle, kUsbModeHid);
}

void CPortSelectDlg::SwitchToVirtualCom() {
    const WaitCursor busy;
    int handle = 0;
    if (SelectedText(m_strName) && m_strName.startsWith(kUsbPrefix) &&
        IsSwitchableHidReader(m_strName)) {
        if (LfIsUsbDriverInstalled() == 0) {
            OfferDriverDownload(LoadString(IDS_NO_VCOM_DRIVER) + '\n' +
                                LoadString(IDS_LOAD_DRIVER) + '\n');
        } else {
            const QByteArray reader = m_strName.mid(kUsbPrefix.size()).toUtf8();
            handle = LfOpenPort(reader.constData(), kSwitchBaud, 0, kSwitchTimeoutMs);
        }
    }
    FinishSwitch(handle, kUsbModeVirtualCom);
}

void CPortSelectDlg::FinishSwitch(int handle, int usbMode) {
    // The reader re-enumerates under its new identity; the device events refresh the list.
    if (handle > 0) {
        LfSetUsbMode(handle, usbMode);
        LfResetReader(handle, 0, 0);
        LfClosePort(handle);
        m_strName.clear();
        WaitWithEvents(kSwitchWaitMs);
    }
    UpdateModeButtons(m_strName);
}

void CPortSelectDlg::accept() {
    if (!ExchangeData()) return;
    // The path field shows the selected entry or what was typed; either is the choice.
    QString selected = m_ui->editLine->text().trimmed();
    if (!CheckTypedLine(selected)) return;
    if (!selected.isEmpty() || SelectedText(selected)) {
        m_strName = selected;
        PutSettingString(kSection, "Name", m_strName);
        m_bIsUsb = m_strName.startsWith(kUsbPrefix);
        m_bIsLan = !m_bIsUsb && m_strName.startsWith(kLanPrefix);
    }
    if (m_ui->comboBaudrate->currentIndex() >= 0) {
        // Parity and two stop bits cannot be stored together; the parity wins.
        const int parity = m_ui->comboParity->currentIndex();
        const bool twoStopBits = m_ui->comboStopBits->currentIndex() == 1;
        const int code = parity == 1   ? kCodeEvenParity
                         : parity == 2 ? kCodeOddParity
                         : twoStopBits ? kCodeTwoStopBits
                                       : 0;
        m_nBaudrate = m_ui->comboBaudrate->currentText().toInt() + code;
        PutSettingInt(kSection, "Baudrate", m_nBaudrate);
    }
    PutSettingInt(kSection, "Timeout", static_cast<int>(m_nTimeout));
    PutSettingInt(kSection, "Adresse", m_nAdresse);
    PutSettingInt(kSection, "EthernetAktiv", m_bEthernetAktiv);
    QDialog::accept();
}

void CPortSelectDlg::done(int result) {
    // Like a closed window: no more rescans, no more device events; a later display starts
    // afresh.
    m_bClosed = true;
    m_bInitialised = false;
    if (m_nRescanTimer != 0) {
        killTimer(m_nRescanTimer);
        m_nRescanTimer = 0;
    }
    delete m_monitor;
    m_monitor = nullptr;
    delete m_readerWatcher;
    m_readerWatcher = nullptr;
    QDialog::done(result);
}

bool CPortSelectDlg::ExchangeData() {
    m_bEthernetAktiv = m_ui->checkEthernet->isChecked() ? 1 : 0;

    bool ok = false;
    const unsigned timeout = m_ui->editTimeout->text().trimmed().toUInt(&ok);
    if (!ok) return RefuseValue(m_ui->editTimeout, LoadString(IDS_PARSE_UINT));
    if (timeout < kTimeoutMin || timeout > kTimeoutMax)
        return RefuseValue(m_ui->editTimeout,
                           LoadString(IDS_PARSE_INT_RANGE).arg(kTimeoutMin).arg(kTimeoutMax));
    m_nTimeout = timeout;

    const int address = m_ui->editAddress->text().trimmed().toInt(&ok);
    if (!ok) return RefuseValue(m_ui->editAddress, LoadString(IDS_PARSE_INT));
    if (address < kAddressMin || address > kAddressMax)
        return RefuseValue(m_ui->editAddress,
                           LoadString(IDS_PARSE_INT_RANGE).arg(kAddressMin).arg(kAddressMax));
    m_nAdresse = address;
    return true;
}

bool CPortSelectDlg::RefuseValue(QWidget* control, const QString& message) {
    ShowMessage(message, MessageIcon::Warning);
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    return false;
}

bool CPortSelectDlg::SelectByName(const QString& name) {
    // The list's select-string rule: the first entry that begins with the name, any case.
    // An empty name selects nothing; without a match the selection stays as it is.
    if (name.isEmpty()) return false;
    for (int row = 0; row < m_ui->listInterfaces->count(); ++row) {
        if (m_ui->listInterfaces->item(row)->text().startsWith(name, Qt::CaseInsensitive)) {
            const QSignalBlocker quiet(m_ui->listInterfaces);
            m_ui->listInterfaces->setCurrentRow(row);
            return true;
        }
    }
    return false;
}

bool CPortSelectDlg::SelectedText(QString& text) const {
    const QList<QListWidgetItem*> selected = m_ui->listInterfaces->selectedItems();
    if (selected.isEmpty()) return false;
    text = selected.front()->text();
    return true;
}

void CPortSelectDlg::SetFlagsFromName() {
    m_bIsUsb = m_strName.startsWith(kUsbPrefix);
    m_bIsLan = m_strName.startsWith(kLanPrefix);
}

void CPortSelectDlg::EnableLineControls() {
    const bool serial = !m_bIsUsb && !m_bIsLan;
    m_ui->comboBaudrate->setEnabled(serial);
    m_ui->comboParity->setEnabled(serial);
    m_ui->comboStopBits->setEnabled(serial);
}

void CPortSelectDlg::PostRescan() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_bClosed) RescanDevices(kConfigChanged);
        },
        Qt::QueuedConnection);
}

void CPortSelectDlg::StartRescanTimer() {
    if (m_bClosed) return;
    if (m_nRescanTimer != 0) killTimer(m_nRescanTimer);
    m_nRescanTimer = startTimer(kRescanPeriodMs);
}

void CPortSelectDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_nRescanTimer || m_nRescanTimer == 0) {
        QDialog::timerEvent(event);
        return;
    }
    killTimer(m_nRescanTimer);
    m_nRescanTimer = 0;
    PostRescan();
}

void CPortSelectDlg::OnSelectionChanged() {
    QString selected;
    if (!SelectedText(selected)) {
        UpdateModeButtons(QString());
        return;
    }
    m_bChoiceTyped = false;
    m_strName = selected;
    ShowInLineField(m_strName);
    SetFlagsFromName();
    EnableLineControls();
    UpdateModeButtons(m_strName);
}

void CPortSelectDlg::ShowInLineField(const QString& name) {
    m_ui->editLine->setText(name);
    // A long entry shows its line, not the end of its name.
    m_ui->editLine->setCursorPosition(0);
}

void CPortSelectDlg::OnLineEdited(const QString& text) {
    // The list marks the entry that is exactly the typed text, or none: a marked entry that
    // is not the choice would mislead.
    m_strName = text.trimmed();
    m_bChoiceTyped = true;
    MarkChoiceInList();
    SetFlagsFromName();
    EnableLineControls();
    UpdateModeButtons(m_strName);
}

// A typed path that names nothing is refused here, where it can be corrected, rather than
// after a failed connection. List entries and other kinds of names go through as they are.
bool CPortSelectDlg::CheckTypedLine(const QString& typed) {
    if (!typed.startsWith('/') ||
        !m_ui->listInterfaces->findItems(typed, Qt::MatchExactly).isEmpty())
        return true;
    const QString path = typed.left(NameTagStart(typed));
    if (QFileInfo::exists(path)) return true;
    return RefuseValue(m_ui->editLine, LoadString(IDS_NO_SUCH_LINE).arg(path));
}

void CPortSelectDlg::OnEthernetClicked() {
    ExchangeData();
    m_bEthernetAktiv = m_ui->checkEthernet->isChecked() ? 1 : 0;
    PostRescan();
    m_ui->buttonIpSearch->setVisible(m_bEthernetAktiv != 0);
}

void CPortSelectDlg::OnIpSearchClicked() {
    if (m_bEthernetAktiv == 0) return;
    const QString found = RunIpAddressSearch();
    if (!found.isEmpty()) {
        // A named reader is found again by its bracketed name, whatever its address.
        const qsizetype close = found.indexOf(']');
        m_strName = kLanPrefix + (close > 0 ? found.left(close + 1) : found);
        // The field is what OK takes: it shows the new choice at once, and the list marks
        // its entry (again after the rescan, which may bring it).
        m_bChoiceTyped = false;
        ShowInLineField(m_strName);
        MarkChoiceInList();
        SetFlagsFromName();
        EnableLineControls();
        UpdateModeButtons(m_strName);
    }
    PostRescan();
}

void CPortSelectDlg::MarkChoiceInList() {
    const QSignalBlocker quiet(m_ui->listInterfaces);
    m_ui->listInterfaces->clearSelection();
    if (!m_bChoiceTyped) {
        SelectByName(m_strName);
        return;
    }
    const QList<QListWidgetItem*> same =
        m_ui->listInterfaces->findItems(m_strName, Qt::MatchExactly);
    if (!m_strName.isEmpty() && !same.isEmpty()) m_ui->listInterfaces->setCurrentItem(same.front());
}

QString CPortSelectDlg::RunIpAddressSearch() {
    CIPAddrSuche search(this);
    search.exec();
    return search.m_strResult;
}
