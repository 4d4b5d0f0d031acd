// The interface selection dialog: the stored choice checked against the devices present,
// the line-format code of the baud rate, the list's select rule, a typed line, the virtual
// readers the simulator program announces, rescans on device events, the USB mode buttons,
// the driver offer and the validation on OK. The device lists come
// from a stand-in (no USB or network reader exists here); the mode switch talks to the
// virtual reader on a pseudo-terminal.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <cstring>

#include "AnnouncedReaders.h"
#include "ControlId.h"
#include "Settings.h"
#include "StringTable.h"
#include "ReaderAnnouncement.h"
#include "UdevMonitor.h"
#include "VirtualReader.h"
#include "dialogs/PortSelectDlg.h"
#include "support/AppTest.h"
#include "vellf.h"

namespace {

using Dlg = CPortSelectDlg;

struct FakeDevices {
    QStringList com;
    QStringList usb;
    QStringList lan;
    int flags = 0;
    int pingAnswer = 0;
    int usbScans = 0;
    QList<QUrl> opened;
    CPortSelectDlg* reenter = nullptr;  // a dialog to call again while its handler runs
    QStringList noAccess;               // lines and USB readers this user may not open
};
FakeDevices g_fake;

// Packs a list the way the SDK does: entries that fit, each closed by a zero, one more zero.
int Pack(const QStringList& entries, char* buffer, int size) {
    int used = 0;
    for (const QString& entry : entries) {
        const QByteArray bytes = entry.toUtf8();
        if (used + bytes.size() + 2 > size) break;
        std::memcpy(buffer + used, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
        used += static_cast<int>(bytes.size()) + 1;
    }
    buffer[used] = '\0';
    return used + 1;
}

QStringList ListTexts(CPortSelectDlg& dialog) {
    QStringList texts;
    auto* list = ControlById<QListWidget>(&dialog, Dlg::IDC_INTERFACES);
    for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
    return texts;
}

QString SelectedText(CPortSelectDlg& dialog) {
    const auto items = ControlById<QListWidget>(&dialog, Dlg::IDC_INTERFACES)->selectedItems();
    return items.isEmpty() ? QString() : items.front()->text();
}

void StorePort(const QString& name, int ethernet = 0) {
    PutSettingString("Port", "Name", name);
    PutSettingInt("Port", "EthernetAktiv", ethernet);
}

// The dialog with the network search answered by the test.
class AnsweredSearchDlg : public CPortSelectDlg {
  public:
    explicit AnsweredSearchDlg(QString answer) : m_answer(std::move(answer)) {}

  protected:
    QString RunIpAddressSearch() override { return m_answer; }

  private:
    QString m_answer;
};

// Starts the virtual reader program under a name; its line, or "" when it did not start.
QString StartVirtualReader(QProcess& process, const QString& name) {
    process.start(QStringLiteral(VEL_READER_SIM), {"--name", name});
    if (!process.waitForStarted(10000)) return {};
    while (!process.canReadLine())
        if (!process.waitForReadyRead(10000)) return {};
    return QString::fromUtf8(process.readLine()).trimmed();
}

QString RangeMessage(int low, int high) {
    return LoadString(61714).arg(low).arg(high);
}

}  // namespace

class PortSelectTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        CPortSelectDlg::s_devices = {
            [](char* buffer, int size) { return Pack(g_fake.com, buffer, size); },
            [](char* buffer, int size) {
                ++g_fake.usbScans;
                return Pack(g_fake.usb, buffer, size);
            },
            [](char* buffer, int size) { return Pack(g_fake.lan, buffer, size); },
            [](const char*) { return g_fake.pingAnswer; },
            [] { return g_fake.flags; },
            [](const QString& name) { return !g_fake.noAccess.contains(name); },
        };
        CPortSelectDlg::s_openUrl = [](const QUrl& url) {
            g_fake.opened << url;
            if (g_fake.reenter != nullptr)
                g_fake.reenter->RescanDevices(CPortSelectDlg::kDeviceArrival);
        };
    }

    void init() {
        apptest::ClearSettings();
        g_fake = FakeDevices{};
    }

    void StoredChoiceIsCheckedAtConstruction_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("ethernet");
        QTest::addColumn<QStringList>("usb");
        QTest::addColumn<QStringList>("lan");
        QTest::addColumn<int>("ping");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isUsb");
        QTest::addColumn<bool>("isLan");
        QTest::addColumn<QString>("openName");

        const QStringList none;
        QTest::newRow("empty becomes COM1")
            << "" << 0 << none << none << 0 << "COM1" << false << false << "COM1:1";
        QTest::newRow("serial port kept though absent")
            << "/dev/ttyUSB7" << 0 << none << none << 0 << "/dev/ttyUSB7" << false << false
            << "/dev/ttyUSB7:1";
        QTest::newRow("USB reader present")
            << "USB: 4826-0001 HID" << 0 << QStringList{"4830-0002", "4826-0001 HID"} << none << 0
            << "USB: 4826-0001 HID" << true << false << "4826-0001 HID:1";
        QTest::newRow("vanished USB reader replaced")
            << "USB: 4826-0001 HID" << 0 << QStringList{"4830-0002 HID", "5012-0003"} << none << 0
            << "USB: 4830-0002 HID" << true << false << "4830-0002 HID:1";
        QTest::newRow("vanished USB reader, none left")
            << "USB: 4826-0001 HID" << 0 << none << none << 0 << "" << false << false << ":1";
        QTest::newRow("LAN without Ethernet")
            << "LAN: 10.99.0.5-10001" << 0 << none << none << 0 << "LAN: 10.99.0.5-10001" << false
            << false << "10.99.0.5-10001:1";
        QTest::newRow("LAN reader answers ping")
            << "LAN: 10.99.0.5-10001" << 1 << none << none << 1 << "LAN: 10.99.0.5-10001" << false
            << true << "10.99.0.5-10001:1";
        QTest::newRow("LAN reader gone, another found")
            << "LAN: 10.99.0.5-10001" << 1 << none << QStringList{"[Hall]10.99.0.6-10001"} << 0
            << "LAN: [Hall]10.99.0.6-10001" << false << true << "[Hall]10.99.0.6-10001:1";
        QTest::newRow("LAN reader gone, none found")
            << "LAN: 10.99.0.5-10001" << 1 << none << none << 0 << "" << false << false << ":1";
    }

    void StoredChoiceIsCheckedAtConstruction() {
        QFETCH(QString, stored);
        QFETCH(int, ethernet);
        QFETCH(QString, name);
        if (!stored.isEmpty()) StorePort(stored, ethernet);
        QFETCH(QStringList, usb);
        QFETCH(QStringList, lan);
        QFETCH(int, ping);
        g_fake.usb = usb;
        g_fake.lan = lan;
        g_fake.pingAnswer = ping;

        CPortSelectDlg dialog;
        QCOMPARE(dialog.m_strName, name);
        QTEST(dialog.m_bIsUsb, "isUsb");
        QTEST(dialog.m_bIsLan, "isLan");
        QTEST(dialog.GetOpenName(), "openName");
        QCOMPARE(GetSettingString("Port", "Name", "<absent>"), name);
    }

    void BaudrateCarriesTheLineFormat_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QStringList>("opened");  // baud, parity, stop bits as shown
        QTest::addColumn<QStringList>("chosen");  // the same, "" leaves a list as it is
        QTest::addColumn<int>("storedAfterOk");

        QTest::newRow("odd parity opens")
            << 9602 << QStringList{"9600", "ungerade", "1"} << QStringList{"", "", ""} << 9602;
        QTest::newRow("parity wins over stop bits") << 19200 << QStringList{"19200", "keine", "1"}
                                                    << QStringList{"19200", "gerade", "2"} << 19201;
        QTest::newRow("two stop bits without parity")
            << 19200 << QStringList{"19200", "keine", "1"} << QStringList{"115200", "keine", "2"}
            << 115203;
        QTest::newRow("two stop bits open")
            << 57603 << QStringList{"57600", "keine", "2"} << QStringList{"", "", ""} << 57603;
        QTest::newRow("baud not offered is kept")
            << 1200 << QStringList{"", "keine", "1"} << QStringList{"", "gerade", ""} << 1200;
        QTest::newRow("meaningless code reads as none")
            << 4857 << QStringList{"4800", "keine", "1"} << QStringList{"", "", ""} << 4800;
    }

    void BaudrateCarriesTheLineFormat() {
        QFETCH(int, stored);
        QFETCH(QStringList, opened);
        QFETCH(QStringList, chosen);
        PutSettingInt("Port", "Baudrate", stored);
        g_fake.com = {"/dev/ttyS0"};

        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        const QList<QComboBox*> lists = {ControlById<QComboBox>(&dialog, Dlg::IDC_BAUDRATE),
                                         ControlById<QComboBox>(&dialog, Dlg::IDC_PARITY),
                                         ControlById<QComboBox>(&dialog, Dlg::IDC_STOPBITS)};
        for (int i = 0; i < lists.size(); ++i) {
            QCOMPARE(lists[i]->currentText(), opened[i]);
            if (!chosen[i].isEmpty()) lists[i]->setCurrentIndex(lists[i]->findText(chosen[i]));
        }
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QTEST(GetSettingInt("Port", "Baudrate", -1), "storedAfterOk");
    }

    void OpeningSelectsTheFirstEntryBeginningWithTheName_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("nameAfterOk");

        QTest::newRow("COM10 listed before COM1")
            << "COM1" << QStringList{"\\\\.\\COM10", "\\\\.\\COM1"} << "COM10"
            << "COM10";
        QTest::newRow("device paths")
            << "/dev/ttyS1" << QStringList{"/dev/ttyS10", "/dev/ttyS1"} << "/dev/ttyS10"
            << "/dev/ttyS10";
        QTest::newRow("any case, tagged entry")
            << "/DEV/TTYACM0" << QStringList{"/dev/ttyS0", "/dev/ttyACM0 [Qor Virtual COM]"}
            << "/dev/ttyACM0 [Qor Virtual COM]"
            << "/dev/ttyACM0 [Qor Virtual COM]";
        QTest::newRow("no match, one entry taken")
            << "/dev/ttyUSB3" << QStringList{"/dev/ttyS0"} << "/dev/ttyS0"
            << "/dev/ttyS0";
        QTest::newRow("no match, several entries")
            << "/dev/ttyUSB3" << QStringList{"/dev/ttyS0", "/dev/ttyS1"} << ""
            << "/dev/ttyUSB3";
    }

    void OpeningSelectsTheFirstEntryBeginningWithTheName() {
        QFETCH(QString, stored);
        QFETCH(QStringList, ports);
        QFETCH(QString, selected);
        StorePort(stored);

        CPortSelectDlg dialog;
        dialog.m_comPorts = ports;
        dialog.OnInitDialog();
        QCOMPARE(SelectedText(dialog), selected);
        dialog.accept();
        QTEST(GetSettingString("Port", "Name", ""), "nameAfterOk");
    }

    void DeviceEventsRescanAndPlanFollowUps() {
        g_fake.com = {"/dev/ttyS0"};
        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        QCoreApplication::processEvents();  // the scan the opening posts
        QCOMPARE(ListTexts(dialog), QStringList{"/dev/ttyS0"});
        QCOMPARE(dialog.m_nRescanCount, 0);

        g_fake.usb = {"4826-0001 HID"};
        const int scans = g_fake.usbScans;
        dialog.RescanDevices(CPortSelectDlg::kDeviceArrival);
        QCOMPARE(g_fake.usbScans, scans + 1);
        QCOMPARE(ListTexts(dialog), (QStringList{"/dev/ttyS0", "USB: 4826-0001 HID"}));
        QVERIFY(dialog.m_nRescanTimer != 0);
        QCOMPARE(dialog.m_nRescanCount, 1);

        // The timer posts the next scan.
        QTRY_COMPARE_WITH_TIMEOUT(dialog.m_nRescanCount, 2, 3000);
        QCOMPARE(g_fake.usbScans, scans + 2);

        // Five follow-ups in all, then the series ends.
        for (int expected : {3, 4, 5, 0}) {
            dialog.RescanDevices(CPortSelectDlg::kConfigChanged);
            QCOMPARE(dialog.m_nRescanCount, expected);
        }

        g_fake.usb.clear();
        dialog.RescanDevices(CPortSelectDlg::kDevNodesChanged);
        QCOMPARE(ListTexts(dialog), QStringList{"/dev/ttyS0"});
        QCOMPARE(dialog.m_nRescanCount, 1);
    }

    // A reader the user may not open is listed under its own name (so a stored choice still
    // finds it), marked with a hint naming its line or reader; the others stay unmarked.
    void ReaderWithoutAccessIsListedWithAHint() {
        g_fake.com = {"/dev/ttyACM0 [Qor Virtual COM]", "/dev/ttyS0"};
        g_fake.usb = {"48260042 HID", "48260043 HID"};
        g_fake.noAccess = {"/dev/ttyACM0", "48260043 HID"};
        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        QCoreApplication::processEvents();
        QCOMPARE(ListTexts(dialog), (QStringList{"/dev/ttyACM0 [Qor Virtual COM]", "/dev/ttyS0",
                                                 "USB: 48260042 HID", "USB: 48260043 HID"}));
        auto* list = ControlById<QListWidget>(&dialog, Dlg::IDC_INTERFACES);
        const struct {
            int row;
            QString hint;  // empty: no mark
        } rows[] = {{0, "Kein Zugriff auf /dev/ttyACM0"}, {1, {}}, {2, {}},
                    {3, "Kein Zugriff auf 48260043 HID"}};
        for (const auto& row : rows) {
            QListWidgetItem* item = list->item(row.row);
            if (row.hint.isEmpty()) {
                QVERIFY2(item->toolTip().isEmpty() && item->icon().isNull(), qPrintable(item->text()));
            } else {
                QVERIFY2(item->toolTip().startsWith(row.hint), qPrintable(item->toolTip()));
                QVERIFY(!item->icon().isNull());
            }
        }
    }

    void EthernetBringsAndTakesNetworkReaders() {
        g_fake.com = {"/dev/ttyS0"};
        g_fake.lan = {"10.99.0.5-10001"};
        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        auto* ethernet = ControlById<QCheckBox>(&dialog, Dlg::IDC_ETHERNET);
        auto* search = ControlById<QPushButton>(&dialog, Dlg::IDC_IP_SEARCH);
        QVERIFY(!search->isVisibleTo(&dialog));

        ethernet->click();
        QTRY_COMPARE(ListTexts(dialog), (QStringList{"/dev/ttyS0", "LAN: 10.99.0.5-10001"}));
        QVERIFY(search->isVisibleTo(&dialog));

        ethernet->click();
        QTRY_COMPARE(ListTexts(dialog), QStringList{"/dev/ttyS0"});
        QVERIFY(!search->isVisibleTo(&dialog));
    }

    // A line the list does not show is typed as its path; a path that names nothing is
    // refused in the dialog, which stays open with the stored choice untouched.
    void TypedPathIsTheChoice_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");  // empty: accepted
        QTest::addColumn<QString>("marked");   // the list entry marked meanwhile
        QTest::newRow("line the list lacks") << "READER" << "" << "";
        QTest::newRow("listed entry") << "/dev/ttyS9" << "" << "/dev/ttyS9";
        QTest::newRow("missing line")
            << "/dev/no-such-line" << "Die Leitung /dev/no-such-line gibt es nicht." << "";
        QTest::newRow("beginning of a listed entry")
            << "/dev/ttyS" << "Die Leitung /dev/ttyS gibt es nicht." << "";
    }

    void TypedPathIsTheChoice() {
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        QFETCH(QString, marked);
        vsim::VirtualReader reader;
        QVERIFY(reader.Start());
        if (typed == "READER") typed = QString::fromStdString(reader.Path());
        g_fake.com = {"/dev/ttyS0", "/dev/ttyS9"};
        StorePort("/dev/ttyS0");

        apptest::ModalWatcher watcher;
        CPortSelectDlg dialog;
        dialog.show();
        auto* line = ControlById<QLineEdit>(&dialog, Dlg::IDC_LINE);
        QCOMPARE(line->text(), QString("/dev/ttyS0"));
        line->clear();
        QTest::keyClicks(line, typed);
        QCOMPARE(SelectedText(dialog), marked);
        // A rescan marks by the same rule: the field and the list still say the same.
        dialog.RescanDevices(CPortSelectDlg::kConfigChanged);
        QCOMPARE(SelectedText(dialog), marked);
        QTest::mouseClick(ControlById<QPushButton>(&dialog, 1), Qt::LeftButton);

        if (refusal.isEmpty()) {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(GetSettingString("Port", "Name", ""), typed);
            QCOMPARE(dialog.GetOpenName(), typed + ":1");
            QVERIFY(watcher.Messages().isEmpty());
        } else {
            QTRY_COMPARE(watcher.Messages(), QStringList{refusal});
            QVERIFY(dialog.isVisible());
            QCOMPARE(GetSettingString("Port", "Name", ""), QString("/dev/ttyS0"));
        }
    }

    // The virtual reader program announces its line while it runs: readers started while
    // the dialog is open appear by name, the chosen one connects, one that ends is gone from
    // the list and one that was killed (its announcement left behind) is not listed.
    void AnnouncedVirtualReadersAreListedByName() {
        CPortSelectDlg dialog;
        dialog.show();
        QCOMPARE(ListTexts(dialog), QStringList{});

        QProcess first;
        QProcess second;
        const QString firstLine = StartVirtualReader(first, "Trainer 1");
        const QString secondLine = StartVirtualReader(second, "Trainer 2");
        QVERIFY(!firstLine.isEmpty() && !secondLine.isEmpty());
        const QString firstEntry = firstLine + " [Trainer 1]";
        QStringList both{firstEntry, secondLine + " [Trainer 2]"};
        both.sort();
        QTRY_COMPARE(ListTexts(dialog), both);

        auto* list = ControlById<QListWidget>(&dialog, Dlg::IDC_INTERFACES);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(both.indexOf(firstEntry))).center());
        QCOMPARE(ControlById<QLineEdit>(&dialog, Dlg::IDC_LINE)->text(), firstEntry);
        QTest::mouseClick(ControlById<QPushButton>(&dialog, 1), Qt::LeftButton);
        QCOMPARE(GetSettingString("Port", "Name", ""), firstEntry);

        const QByteArray port = CPortSelectDlg().GetOpenName().toUtf8();
        const int handle = LfOpenPort(port.constData(), 19200, 0, 300);
        QVERIFY2(handle > 0, port.constData());
        unsigned char version[5] = {};
        char model[30] = {};
        QCOMPARE(LfGetVersion(handle, version, 5, model, 30), 4);
        LfClosePort(handle);

        second.terminate();
        QVERIFY(second.waitForFinished(10000));
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        const QDir folder(AnnouncedReadersFolder());
        QCOMPARE(folder.entryList({"*.reader"}, QDir::Files).size(), 1);  // the killed one's
        QCOMPARE(ListAnnouncedReaders(), QStringList{});
    }

    // A virtual reader started again has a new terminal: the stored choice follows the one
    // running under its name; a name nobody runs and a maker's tag are left alone.
    void StoredVirtualReaderFollowsItsName_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("follows");
        QTest::newRow("line gone, name running") << "/dev/pts/99999 [Trainer]" << true;
        QTest::newRow("line gone, name not running") << "/dev/pts/99999 [Desk 2]" << false;
        QTest::newRow("maker's tag") << "/dev/ttyACM99 [Qor Virtual COM]" << false;
    }

    void StoredVirtualReaderFollowsItsName() {
        QFETCH(QString, stored);
        QFETCH(bool, follows);
        vsim::VirtualReader reader;
        QVERIFY(reader.Start());
        vsim::ReaderAnnouncement announcement;
        QVERIFY(announcement.Announce(reader.Path(), "Trainer"));
        StorePort(stored);

        const CPortSelectDlg dialog;
        const QString expected =
            follows ? QString::fromStdString(reader.Path()) + " [Trainer]" : stored;
        QCOMPARE(dialog.m_strName, expected);
        QCOMPARE(GetSettingString("Port", "Name", ""), expected);
    }

    void SelectionSetsFlagsAndModeButtons_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("modeEnabled");
        QTest::addColumn<bool>("hidChecked");
        QTest::addColumn<bool>("isUsb");
        QTest::addColumn<bool>("isLan");

        QTest::newRow("plain serial port") << "/dev/ttyS0" << false << false << false << false;
        QTest::newRow("virtual COM reader")
            << "/dev/ttyACM0 [Qor Virtual COM]" << true << false << false << false;
        QTest::newRow("other virtual COM driver")
            << "COM3 [MZ-4 Virtual COM]" << true << false << false << false;
        QTest::newRow("switchable HID reader")
            << "USB: 4826-0001 HID" << true << true << true << false;
        QTest::newRow("HID reader of another model")
            << "USB: 9999-0002 HID" << false << false << true << false;
        QTest::newRow("D2XX reader") << "USB: 4826-0003" << false << false << true << false;
        QTest::newRow("network reader")
            << "LAN: 10.99.0.5-10001" << false << false << false << true;
    }

    void SelectionSetsFlagsAndModeButtons() {
        QFETCH(QString, entry);
        QFETCH(bool, modeEnabled);
        QFETCH(bool, hidChecked);
        QFETCH(bool, isUsb);
        QFETCH(bool, isLan);
        StorePort("/dev/ttyS0", 1);
        g_fake.com = {"/dev/ttyS0", "/dev/ttyACM0 [Qor Virtual COM]",
                      "\\\\.\\COM3 [MZ-4 Virtual COM]"};
        g_fake.usb = {"4826-0001 HID", "9999-0002 HID", "4826-0003"};
        g_fake.lan = {"10.99.0.5-10001"};

        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        auto* list = ControlById<QListWidget>(&dialog, Dlg::IDC_INTERFACES);
        const int row = static_cast<int>(ListTexts(dialog).indexOf(entry));
        QVERIFY(row >= 0);
        list->setCurrentRow(row);

        QCOMPARE(dialog.m_strName, entry);
        QCOMPARE(dialog.m_bIsUsb, isUsb);
        QCOMPARE(dialog.m_bIsLan, isLan);
        QCOMPARE(ControlById<QComboBox>(&dialog, Dlg::IDC_BAUDRATE)->isEnabled(), !isUsb && !isLan);
        auto* hid = ControlById<QPushButton>(&dialog, Dlg::IDC_HID_MODE);
        auto* virtualCom = ControlById<QPushButton>(&dialog, Dlg::IDC_VIRTUAL_COM);
        QCOMPARE(hid->isEnabled(), modeEnabled);
        QCOMPARE(virtualCom->isEnabled(), modeEnabled);
        QCOMPARE(hid->isChecked(), modeEnabled && hidChecked);
        QCOMPARE(virtualCom->isChecked(), modeEnabled && !hidChecked);
    }

    void SwitchingToHidTellsTheReader() {
        // The line is reachable under its plain name and under its listed, tagged name.
        QTemporaryDir dir;
        vsim::VirtualReader reader;
        QVERIFY(reader.Start(dir.filePath("line").toStdString()));
        const QString entry = dir.filePath("line [Qor Virtual COM]");
        QVERIFY(QFile::link(QString::fromStdString(reader.Path()), entry));
        g_fake.com = {entry};
        StorePort(entry);

        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        auto* hid = ControlById<QPushButton>(&dialog, Dlg::IDC_HID_MODE);
        QVERIFY(hid->isEnabled() && !hid->isChecked());
        hid->click();

        QCOMPARE(reader.Engine().UsbMode(), 1);
        QCOMPARE(dialog.m_strName, QString());
        QVERIFY(!hid->isEnabled());
    }

    void MissingDriverIsOffered_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("message");

        QTest::newRow("FTDI reader, declined")
            << 1 << false << LoadString(10171) + '\n' + LoadString(10173) + '\n';
        QTest::newRow("both kinds, accepted")
            << 3 << true
            << LoadString(10171) + '\n' + LoadString(10172) + '\n' + LoadString(10173) + '\n';
    }

    void MissingDriverIsOffered() {
        QFETCH(int, flags);
        QFETCH(bool, yes);
        QFETCH(QString, message);
        g_fake.com = {"/dev/ttyS0"};
        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        QCoreApplication::processEvents();

        apptest::ModalWatcher watcher(yes ? QMessageBox::Yes : QMessageBox::No);
        g_fake.flags = flags;
        g_fake.reenter = &dialog;  // a device event while the handler runs is dropped
        const int scans = g_fake.usbScans;
        dialog.RescanDevices(CPortSelectDlg::kDeviceArrival);

        QCOMPARE(watcher.Messages(), QStringList{message});  // one offer, then one more scan
        QCOMPARE(g_fake.usbScans, scans + 2);
        QCOMPARE(g_fake.opened, yes ? QList<QUrl>{QUrl(LoadString(10170))} : QList<QUrl>{});
    }

    void OkValidatesTimeoutAndAddress_data() {
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");  // "" = accepted

        QTest::newRow("defaults") << "300"
                                  << "1"
                                  << "";
        QTest::newRow("upper bounds") << "300000"
                                      << "255"
                                      << "";
        QTest::newRow("lower bounds") << "10"
                                      << "1"
                                      << "";
        QTest::newRow("timeout empty") << ""
                                       << "1" << LoadString(61713);
        QTest::newRow("timeout not a number") << "abc"
                                              << "1" << LoadString(61713);
        QTest::newRow("timeout too short") << "9"
                                           << "1" << RangeMessage(10, 300000);
        QTest::newRow("timeout too long") << "300001"
                                          << "1" << RangeMessage(10, 300000);
        QTest::newRow("address empty") << "300"
                                       << "" << LoadString(61712);
        QTest::newRow("address zero") << "300"
                                      << "0" << RangeMessage(1, 255);
        QTest::newRow("address too large") << "300"
                                           << "256" << RangeMessage(1, 255);
    }

    void OkValidatesTimeoutAndAddress() {
        QFETCH(QString, timeout);
        QFETCH(QString, address);
        QFETCH(QString, message);
        g_fake.com = {"/dev/ttyS0"};
        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        ControlById<QLineEdit>(&dialog, Dlg::IDC_TIMEOUT)->setText(timeout);
        ControlById<QLineEdit>(&dialog, Dlg::IDC_ADDRESS)->setText(address);

        apptest::ModalWatcher watcher;
        ControlById<QPushButton>(&dialog, 1)->click();
        if (message.isEmpty()) {
            QVERIFY(watcher.Messages().isEmpty());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(GetSettingInt("Port", "Timeout", -1), timeout.toInt());
            QCOMPARE(GetSettingInt("Port", "Adresse", -1), address.toInt());
        } else {
            QCOMPARE(watcher.Messages(), QStringList{message});
            QCOMPARE(dialog.result(), 0);
            QCOMPARE(GetSettingInt("Port", "Timeout", -1), -1);
        }
    }

    // A named reader is kept by its bracketed name alone, so it is found again whatever
    // address DHCP gives it next.
    void IpSearchResultBecomesTheChoice_data() {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("selected");
        QTest::newRow("named reader with address") << "[HALLE-1]10.99.1.3-10001"
                                                   << "LAN: [HALLE-1]"
                                                   << "LAN: [HALLE-1]";
        QTest::newRow("fixed address") << "10.99.1.2-10001"
                                       << "LAN: 10.99.1.2-10001"
                                       << "LAN: 10.99.1.2-10001";
        QTest::newRow("no closing bracket") << "[LAGER"
                                            << "LAN: [LAGER"
                                            << "LAN: [LAGER";
        QTest::newRow("nothing chosen") << ""
                                        << "/dev/ttyS0"
                                        << "/dev/ttyS0";
    }
    void IpSearchResultBecomesTheChoice() {
        QFETCH(QString, found);
        g_fake.com = {"/dev/ttyS0"};
        g_fake.lan = {"10.99.1.2-10001", "[HALLE-1]", "[LAGER"};
        g_fake.pingAnswer = 1;
        StorePort("/dev/ttyS0", 1);
        AnsweredSearchDlg dialog(found);
        dialog.show();
        QTest::mouseClick(ControlById<QPushButton>(&dialog, Dlg::IDC_IP_SEARCH), Qt::LeftButton);
        QFETCH(QString, selected);
        QTEST(dialog.m_strName, "name");
        // The rescan that follows selects the new choice in the list.
        QTRY_COMPARE(SelectedText(dialog), selected);
        // The path field says the same, and OK takes it, not the entry chosen before.
        QTEST(ControlById<QLineEdit>(&dialog, Dlg::IDC_LINE)->text(), "name");
        QTest::mouseClick(ControlById<QPushButton>(&dialog, 1), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QTEST(GetSettingString("Port", "Name", ""), "name");
    }

    void KernelEventsBecomeDeviceEvents_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("event");

        const auto uevent = [](const char* action, const char* subsystem) {
            return QByteArray(action) + "@/devices/x" + '\0' + "ACTION=" + action + '\0' +
                   "DEVPATH=/devices/x" + '\0' + "SUBSYSTEM=" + subsystem + '\0';
        };
        QTest::newRow("serial line added") << uevent("add", "tty") << 0x8000;
        QTest::newRow("USB device removed") << uevent("remove", "usb") << 7;
        QTest::newRow("hidraw added") << uevent("add", "hidraw") << 0x8000;
        QTest::newRow("driver bound") << uevent("bind", "usb") << 0;
        QTest::newRow("other device class") << uevent("add", "net") << 0;
        QTest::newRow("not a kernel message") << QByteArray("libudev\0\0\0", 10) << 0;
        QTest::newRow("empty") << QByteArray() << 0;
    }

    void KernelEventsBecomeDeviceEvents() {
        QFETCH(QByteArray, message);
        QTEST(CUdevMonitor::EventOf(message), "event");
    }
};

ORVEX_APP_TEST_MAIN(PortSelectTest)
#include "tst_portselect.moc"
