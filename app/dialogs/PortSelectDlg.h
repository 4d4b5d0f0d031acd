// The interface selection dialog: which serial port, USB reader or network reader the
// station talks to, the serial line parameters, the reply timeout and the device address.
// It keeps its device list current while devices come and go, shows and switches the USB
// interface of readers that can run as HID device or as virtual COM port, and offers the
// driver download for readers plugged in without a driver.
//
// Besides the devices the system reports, it lists the virtual readers running on this
// desktop (they announce their line) and takes any line typed as a path.
//
// Construction alone checks the stored choice against the devices present, so the main
// window can use the object without showing it.
#pragma once

#include <QDialog>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QFileSystemWatcher;
class QListWidgetItem;
class QUrl;
class CUdevMonitor;

namespace Ui {
class CPortSelectDlg;
}

class CPortSelectDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDD = 166;

    // Control ids.
    static constexpr int IDC_TIMEOUT = 1002;
    static constexpr int IDC_ADDRESS = 1003;
    static constexpr int IDC_INTERFACES = 1007;
    static constexpr int IDC_BAUDRATE = 1011;
    static constexpr int IDC_PARITY = 1013;
    static constexpr int IDC_STOPBITS = 1014;
    static constexpr int IDC_HID_MODE = 1035;
    static constexpr int IDC_VIRTUAL_COM = 1036;
    static constexpr int IDC_ETHERNET = 1250;
    static constexpr int IDC_IP_SEARCH = 1256;
    static constexpr int IDC_LINE = 1257;

    // Device-change events: a device arrived, device nodes changed, configuration changed.
    static constexpr int kDeviceArrival = 0x8000;
    static constexpr int kDevNodesChanged = 7;
    static constexpr int kConfigChanged = 0x18;

    // Results of CheckUsbDrivers.
    static constexpr int kDriversDone = 0;
    static constexpr int kDriversRetry = 1;

    // Size of the buffer the SDK fills with a device list.
    static constexpr int kListBufferSize = 2500;

    enum class DeviceKind { Serial, Usb, Lan };

    // Where the device lists, the driver flags and the network ping come from: the SDK, or
    // a test's stand-in (no USB or network reader is attached to a test machine).
    struct DeviceSource {
        std::function<int(char* buffer, int size)> listComPorts;
        std::function<int(char* buffer, int size)> listUsbReaders;
        std::function<int(char* buffer, int size)> findLanReaders;
        std::function<int(const char* address)> pingLanReader;
        std::function<int()> usbDeviceFlags;
        // Whether this user may open a serial line (/dev/...) or a USB reader's node, by
        // its list name; empty: always.
        std::function<bool(const QString& name)> canOpenDevice;
    };
    static DeviceSource s_devices;
    static DeviceSource SdkDevices();

    // Opens the driver download page; tests record the address instead.
    static std::function<void(const QUrl& url)> s_openUrl;

    explicit CPortSelectDlg(QWidget* parent = nullptr);
    ~CPortSelectDlg() override;

    // The port text for LfOpenPort: the list prefix cut off, the device address appended.
    QString GetOpenName() const;

    // Checks the stored choice against the devices present (run by the constructor).
    void ResolveStoredInterface();
    void FollowVirtualReader();

    // Fills the controls and the device list and starts watching device events; runs once
    // per display, from showEvent or exec().
    void OnInitDialog();
    int exec() override;

    // Lists the devices of one kind into list; true when the list changed.
    bool RefreshDeviceList(DeviceKind kind, QStringList& list);
    void FillInterfaceList();
    void MarkInaccessibleDevice(QListWidgetItem* item, const QString& name);
    int CheckUsbDrivers();
    void UpdateModeButtons(const QString& name);
    void SwitchToHid();
    void SwitchToVirtualCom();

    static bool IsSwitchableHidReader(const QString& name);
    static bool IsVirtualComReader(const QString& name);

    QString m_strName;
    int m_nBaudrate = 19200;
    unsigned int m_nTimeout = 300;
    int m_bEthernetAktiv = 0;
    int m_nAdresse = 1;
    bool m_bIsUsb = false;
    bool m_bIsLan = false;
    QStringList m_comPorts;
    QStringList m_usbReaders;
    QStringList m_lanReaders;
    // Virtual readers announced on this desktop, as "<line> [<name>]".
    QStringList m_virtualReaders;
    int m_nRescanTimer = 0;
    int m_nRescanCount = 0;
    QSize m_minTrackSize;
    // The stored line when it is a path that exists but is not enumerated; "" otherwise.
    QString m_strStoredLine;

  public Q_SLOTS:
    // Handles one device-change event: rescans the lists, checks the USB drivers and plans
    // the follow-up scans.
    void RescanDevices(int event);
    void accept() override;
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

    // The network address search behind "IP ?": returns the chosen reader's address text,
    // or "" when nothing was chosen. Virtual, so tests can answer for the search.
    virtual QString RunIpAddressSearch();

  private:
    bool ExchangeData();
    bool RefuseValue(QWidget* control, const QString& message);
    void ScanDevices();
    bool SelectByName(const QString& name);
    bool SelectedText(QString& text) const;
    void SetFlagsFromName();
    void EnableLineControls();
    void PostRescan();
    void StartRescanTimer();
    bool OfferDriverDownload(const QString& text);
    void FinishSwitch(int handle, int usbMode);
    void OnSelectionChanged();
    void OnLineEdited(const QString& text);
    void ShowInLineField(const QString& name);
    // Marks the list entry the choice names, and no other: a typed line only the entry that is
    // exactly it, any other choice (a list entry, a reader from the search) the first entry
    // that begins with it.
    void MarkChoiceInList();
    void WatchAnnouncedReaders();
    bool CheckTypedLine(const QString& typed);
    void OnEthernetClicked();
    void OnIpSearchClicked();

    std::unique_ptr<Ui::CPortSelectDlg> m_ui;
    CUdevMonitor* m_monitor = nullptr;
    QFileSystemWatcher* m_readerWatcher = nullptr;
    bool m_bInitialised = false;
    bool m_bClosed = false;
    bool m_bChoiceTyped = false;  // the choice is what the operator typed into the path field

    // Device-change handling is not re-entered while its message box runs a nested loop.
    static bool s_bRescanBusy;
};
