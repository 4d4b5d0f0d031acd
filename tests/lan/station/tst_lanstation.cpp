// The station with network readers, inside the namespaces of run-netns-tests: the LAN
// configuration dialog reading and writing real network modules, the IP address search over
// the station's three adapters, and the main window's "IP-Adresse" command, which changes the
// connected reader's address and reconnects under it. The modules are the simulated readers
// A (10.99.1.2, fixed), B (10.99.2.2, fixed) and C (DHCP, named HALLE-1), steered through
// their control sockets in VLF_LAN_DIR.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>

#include "OrvexFSKDlg.h"
#include "Settings.h"
#include "StringTable.h"
#include "dialogs/IPAddrSuche.h"
#include "dialogs/LanAddressText.h"
#include "dialogs/LanConfig.h"
#include "dialogs/PortSelectDlg.h"
#include "support/AppTest.h"
#include "support/StationWindow.h"
#include "widgets/IpAddressEdit.h"

namespace {

// The readers' settings before every test (as tests/lan/LanNetwork.h has them).
struct Module {
    const char* control;
    const char* baseline;
};
const Module kReaderA{"a.ctl",
                      "ip=10.99.1.2,bits=8,gw=10.99.1.254,port=10001,name=LAGER-A,"
                      "mac=00204A0000A1,tag=QOR,model=VEL-LAN2430"};
const Module kReaderB{"b.ctl",
                      "ip=10.99.2.2,bits=8,gw=10.99.2.254,port=10001,name=LAGER-B,"
                      "mac=00204A0000B2,tag=QOR,model=Vel-LAN2530"};
const Module kReaderC{"c.ctl",
                      "ip=dhcp,bits=8,gw=0.0.0.0,port=10001,name=HALLE-1,"
                      "mac=00204A0000C3,tag=QOR,model=VEL-LAN2430"};

// One control line to a module; its response line.
QString Control(const Module& module, const QString& line) {
    const QByteArray path = qgetenv("VLF_LAN_DIR") + "/" + module.control;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "ERR socket";
    QByteArray response;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const QByteArray text = line.toUtf8() + '\n';
        if (write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size()) {
            char c = 0;
            while (read(fd, &c, 1) == 1 && c != '\n') response += c;
        }
    }
    close(fd);
    return response.isEmpty() ? "ERR no response from " + QString::fromUtf8(path)
                              : QString::fromUtf8(response);
}

bool ControlOk(const Module& module, const QString& line) {
    const QString response = Control(module, line);
    if (response.startsWith("OK")) return true;
    qWarning().noquote() << line << "->" << response;
    return false;
}

// The configuration writes a module received since its request list was cleared.
bool WasWritten(const Module& module) {
    const QString requests = Control(module, "udp-requests");
    return requests.contains("FC") || requests.contains("FD") || requests.contains("03");
}

template <typename T>
T* Find(QWidget* dialog, int id) {
    T* control = ControlById<T>(dialog, id);
    if (control == nullptr) qFatal("control %d missing", id);
    return control;
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Presses a dialog's button once the handler that found the dialog has returned.
void ClickLater(QWidget* dialog, int id) {
    QPushButton* button = Find<QPushButton>(dialog, id);
    QTimer::singleShot(0, button, [button] { button->click(); });
}

QStringList ListTexts(CIPAddrSuche& search) {
    QStringList texts;
    auto* list = Find<QListWidget>(&search, CIPAddrSuche::IDC_DEVICE_LIST);
    for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
    return texts;
}

// Pixels of a list row drawn in pure-looking red.
int RedPixels(QListWidget* list, int row) {
    const QImage image = list->viewport()->grab().toImage();
    const QRect rect = list->visualItemRect(list->item(row));
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.red() > 200 && colour.green() < 80 && colour.blue() < 80) ++count;
        }
    return count;
}

}  // namespace

class LanStationTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QVERIFY2(!qgetenv("VLF_LAN_DIR").isEmpty(), "run by run-netns-tests"); }

    void init() {
        apptest::ClearSettings();
        for (const Module* module : {&kReaderA, &kReaderB, &kReaderC})
            for (const QString& line :
                 {"net-set " + QString(module->baseline), QString("udp-silent off"),
                  QString("udp-info on"), QString("udp-flood 0"), QString("udp-garbage off"),
                  QString("udp-length 0 off"), QString("udp-length 2 off"), QString("udp-clear")})
                QVERIFY(ControlOk(*module, line));
    }

    void ConfigurationOpensWithTheReadersSettings_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("dhcp");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("gateway");
        QTest::newRow("DHCP reader") << "[HALLE-1]"
                                     << "port=10002" << true << false << "HALLE-1"
                                     << "10002"
                                     << ""
                                     << "255.255.255.0"
                                     << "0.0.0.0";
        QTest::newRow("fixed address") << "10.99.1.2-10001:1"
                                       << "port=10005" << false << true << "LAGER-A"
                                       << "10005"
                                       << "10.99.1.2"
                                       << "255.255.255.0"
                                       << "10.99.1.254";
        QTest::newRow("no answer") << "10.99.1.99"
                                   << "" << false << false << ""
                                   << "0"
                                   << ""
                                   << ""
                                   << "";
    }
    void ConfigurationOpensWithTheReadersSettings() {
        QFETCH(QString, device);
        QFETCH(QString, setup);
        QFETCH(bool, dhcp);
        QFETCH(QString, port);
        const Module& module = device.startsWith('[') ? kReaderC : kReaderA;
        if (!setup.isEmpty()) QVERIFY(ControlOk(module, "net-set " + setup));

        CLanConfig config(device);
        config.show();
        QTEST(Find<QRadioButton>(&config, CLanConfig::IDC_MODE_DHCP)->isChecked(), "dhcp");
        QTEST(Find<QRadioButton>(&config, CLanConfig::IDC_MODE_FIXED)->isChecked(), "fixed");
        QTEST(Find<QLineEdit>(&config, CLanConfig::IDC_DHCP_NAME)->text(), "name");
        QTEST(Find<QLineEdit>(&config, CLanConfig::IDC_IP_ADDRESS)->text(), "ip");
        QTEST(Find<QLineEdit>(&config, CLanConfig::IDC_SUBNET_MASK)->text(), "mask");
        QTEST(Find<QLineEdit>(&config, CLanConfig::IDC_GATEWAY)->text(), "gateway");
        // Both port fields show the port; the mode decides which of them can be edited.
        auto* dhcpPort = Find<QLineEdit>(&config, CLanConfig::IDC_DHCP_PORT);
        auto* fixedPort = Find<QLineEdit>(&config, CLanConfig::IDC_FIXED_PORT);
        QCOMPARE(dhcpPort->text(), port);
        QCOMPARE(fixedPort->text(), port);
        if (QTest::currentDataTag() != QByteArray("no answer")) {
            QCOMPARE(dhcpPort->isEnabled(), dhcp);
            QCOMPARE(fixedPort->isEnabled(), !dhcp);
            QCOMPARE(Find<QWidget>(&config, CLanConfig::IDC_IP_ADDRESS)->isEnabled(), !dhcp);
        }
        QVERIFY(!Find<QProgressBar>(&config, CLanConfig::IDC_PROGRESS)->isVisible());

        // A click on the other mode switches the editable fields.
        QTest::mouseClick(Find<QRadioButton>(&config, dhcp ? CLanConfig::IDC_MODE_FIXED
                                                           : CLanConfig::IDC_MODE_DHCP),
                          Qt::LeftButton);
        QCOMPARE(config.m_nMode, dhcp ? 1 : 0);
        QCOMPARE(dhcpPort->isEnabled(), !dhcp);
        QCOMPARE(Find<QLineEdit>(&config, CLanConfig::IDC_DHCP_NAME)->isEnabled(), !dhcp);
    }

    void OkInDhcpModeRenamesTheReader() {
        CLanConfig config("[HALLE-1]");
        config.show();
        Retype(Find<QLineEdit>(&config, CLanConfig::IDC_DHCP_NAME), "ABC");
        QTest::mouseClick(Find<QPushButton>(&config, 1), Qt::LeftButton);
        QCOMPARE(config.result(), int(QDialog::Accepted));
        QCOMPARE(config.m_strDevice, QString("[ABC]-10001"));
        QVERIFY(Control(kReaderC, "net-show").contains(" name=ABC "));
        QVERIFY(!Find<QProgressBar>(&config, CLanConfig::IDC_PROGRESS)->isVisible());
    }

    // Nothing reaches the reader until the fields make a whole address text.
    void OkRefusesWhatCannotBeSent_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("fixed mode, empty address")
            << "10.99.1.2"
            << "" << int(CLanConfig::IDC_IP_ADDRESS) << "" << LoadString(10128);
        QTest::newRow("fixed mode, address 0.0.0.0")
            << "10.99.1.2"
            << "" << int(CLanConfig::IDC_IP_ADDRESS) << "0.0.0.0" << LoadString(10128);
        QTest::newRow("half-typed gateway")
            << "10.99.1.2"
            << "" << int(CLanConfig::IDC_GATEWAY) << "10.99" << LoadString(10128);
        QTest::newRow("port beyond two bytes") << "10.99.1.2"
                                               << "" << int(CLanConfig::IDC_FIXED_PORT) << "70000"
                                               << LoadString(61714).arg(1).arg(65535);
        QTest::newRow("reported name of 16 characters")
            << "[HALLE-2-NORDOST1]"
            << "HALLE-2-NORDOST1" << int(CLanConfig::IDC_DHCP_NAME) << "HALLE-2-NORDOST1"
            << LoadString(61715).arg(15);
    }
    void OkRefusesWhatCannotBeSent() {
        QFETCH(QString, device);
        QFETCH(QString, name);
        QFETCH(int, field);
        QFETCH(QString, value);
        const Module& module = device.startsWith('[') ? kReaderC : kReaderA;
        if (!name.isEmpty()) QVERIFY(ControlOk(module, "net-set name=" + name));

        apptest::ModalWatcher watcher;
        CLanConfig config(device);
        config.show();
        auto* edit = Find<QLineEdit>(&config, field);
        if (name.isEmpty()) edit->setText(value);
        QCOMPARE(edit->text(), value);
        QVERIFY(ControlOk(module, "udp-clear"));
        QTest::mouseClick(Find<QPushButton>(&config, 1), Qt::LeftButton);
        QTEST(watcher.Messages().join('|'), "message");
        QVERIFY(config.isVisible());
        QCOMPARE(config.focusWidget(), edit);
        QVERIFY(!WasWritten(module));

        // Typing stops at 15 characters; only a reported name can be longer.
        if (field == CLanConfig::IDC_DHCP_NAME) {
            Retype(edit, "HALLE-2-NORDOST-1234");
            QCOMPARE(edit->text(), QString("HALLE-2-NORDOST"));
            Retype(edit, QString::fromUtf8("A]B\u00d6C"));  // one byte per character, no "]"
            QCOMPARE(edit->text(), QString("ABC"));
        }
    }

    void FailedWriteReportsAndStaysOpen() {
        apptest::ModalWatcher watcher;
        CLanConfig config("10.99.1.2");
        config.show();
        QVERIFY(ControlOk(kReaderA, "udp-silent on"));
        Retype(Find<QLineEdit>(&config, CLanConfig::IDC_FIXED_PORT), "10009");
        QTest::mouseClick(Find<QPushButton>(&config, 1), Qt::LeftButton);
        QCOMPARE(watcher.Messages(), QStringList{LoadString(10130)});
        QVERIFY(config.isVisible() && config.isEnabled());
        QCOMPARE(config.m_strDevice, QString("10.99.1.2"));
        QVERIFY(Find<QPushButton>(&config, 1)->isVisible());
        QVERIFY(Find<QPushButton>(&config, 2)->isVisible());
        QVERIFY(!Find<QProgressBar>(&config, CLanConfig::IDC_PROGRESS)->isVisible());
        QVERIFY(Control(kReaderA, "net-show").contains(" port=10001 "));
    }

    void SearchListsEachDeviceOnceAndOthersInRed() {
        QVERIFY(ControlOk(kReaderB, "net-set model=FREMD-100"));
        CIPAddrSuche search;
        search.show();
        search.OnInitDialog();
        QCOMPARE(ListTexts(search),
                 (QStringList{"10.99.1.2-10001", "[HALLE-1]10.99.1.3-10001", "10.99.2.2-10001"}));
        auto* list = Find<QListWidget>(&search, CIPAddrSuche::IDC_DEVICE_LIST);
        const int kinds[] = {LanSearchItem::kReader, LanSearchItem::kReader,
                             LanSearchItem::kOtherDevice};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(list->item(row)->data(CIPAddrSuche::kKindRole).toInt(), kinds[row]);
            QCOMPARE(RedPixels(list, row) > 0, kinds[row] == LanSearchItem::kOtherDevice);
        }
        auto* change = Find<QPushButton>(&search, CIPAddrSuche::IDC_CHANGE_ADDRESS);
        QVERIFY(!change->isEnabled());

        // Another maker's device is never handed back; a reader is, with its full text.
        list->setCurrentRow(2);
        QVERIFY(change->isEnabled());
        QTest::mouseClick(Find<QPushButton>(&search, CIPAddrSuche::IDC_CLOSE), Qt::LeftButton);
        QVERIFY(!search.isVisible());
        QCOMPARE(search.m_strResult, QString());
        search.show();
        list->setCurrentRow(1);
        QTest::keyClick(&search, Qt::Key_Escape);
        QCOMPARE(search.m_strResult, QString("[HALLE-1]10.99.1.3-10001"));
    }

    void EmptyNetworkWithCancelEndsTheSearch() {
        for (const Module* module : {&kReaderA, &kReaderB, &kReaderC})
            QVERIFY(ControlOk(*module, "udp-silent on"));
        apptest::ModalWatcher watcher(QMessageBox::Cancel);
        CIPAddrSuche search;
        search.show();
        search.OnInitDialog();
        QCOMPARE(watcher.Messages(), QStringList{LoadString(10131)});
        QVERIFY(!search.isVisible());
        QCOMPARE(search.result(), int(QDialog::Rejected));
        QCOMPARE(search.m_strResult, QString());
    }

    void EmptyNetworkWithRetrySearchesAgain() {
        for (const Module* module : {&kReaderA, &kReaderB, &kReaderC})
            QVERIFY(ControlOk(*module, "udp-silent on"));
        apptest::ModalWatcher watcher(QMessageBox::Retry);
        CIPAddrSuche search;
        // Reader A comes back once the operator has been told that nothing answered.
        QTimer comeBack;
        connect(&comeBack, &QTimer::timeout, &search, [&] {
            if (watcher.Messages().isEmpty()) return;
            comeBack.stop();
            QVERIFY(!search.isEnabled());
            ControlOk(kReaderA, "udp-silent off");
        });
        comeBack.start(10);
        search.show();
        search.OnInitDialog();
        QVERIFY(!watcher.Messages().isEmpty());
        QCOMPARE(ListTexts(search), QStringList{"10.99.1.2-10001"});
        QVERIFY(search.isVisible() && search.isEnabled());
    }

    void ChangedAddressIsSearchedAgain() {
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([](QDialog* dialog) {
            auto* config = qobject_cast<CLanConfig*>(dialog);
            if (config == nullptr) return false;
            Find<QLineEdit>(config, CLanConfig::IDC_IP_ADDRESS)->setText("10.99.1.20");
            ClickLater(config, 1);
            return true;
        });
        CIPAddrSuche search;
        search.show();
        search.OnInitDialog();
        auto* list = Find<QListWidget>(&search, CIPAddrSuche::IDC_DEVICE_LIST);
        list->setCurrentRow(ListTexts(search).indexOf("10.99.1.2-10001"));
        QTest::mouseClick(Find<QPushButton>(&search, CIPAddrSuche::IDC_CHANGE_ADDRESS),
                          Qt::LeftButton);
        QCOMPARE(watcher.Dialogs(), QStringList{"LAN Einstellung"});
        QVERIFY(ListTexts(search).contains("10.99.1.20-10001"));
        QVERIFY(!ListTexts(search).contains("10.99.1.2-10001"));
        QVERIFY(list->selectedItems().isEmpty());
        QVERIFY(!Find<QPushButton>(&search, CIPAddrSuche::IDC_CHANGE_ADDRESS)->isEnabled());
        QVERIFY(search.isVisible());
    }

    void InterfaceDialogTakesTheReaderChosenInTheSearch() {
        PutSettingString("Port", "Name", "COM1");
        PutSettingInt("Port", "EthernetAktiv", 1);
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([](QDialog* dialog) {
            auto* search = qobject_cast<CIPAddrSuche*>(dialog);
            if (search == nullptr) return false;
            // The search runs once the window shows; choose when it has listed the readers.
            auto* poll = new QTimer(search);
            QObject::connect(poll, &QTimer::timeout, search, [search, poll] {
                if (!search->isEnabled() || ListTexts(*search).isEmpty()) return;
                poll->stop();
                auto* list = Find<QListWidget>(search, CIPAddrSuche::IDC_DEVICE_LIST);
                list->setCurrentRow(ListTexts(*search).indexOf("[HALLE-1]10.99.1.3-10001"));
                Find<QPushButton>(search, CIPAddrSuche::IDC_CLOSE)->click();
            });
            poll->start(20);
            return true;
        });
        CPortSelectDlg dialog;
        dialog.show();
        QTest::mouseClick(Find<QPushButton>(&dialog, CPortSelectDlg::IDC_IP_SEARCH),
                          Qt::LeftButton);
        QCOMPARE(watcher.Dialogs(), QStringList{"IP-Adressen"});
        QCOMPARE(dialog.m_strName, QString("LAN: [HALLE-1]"));
        auto* list = Find<QListWidget>(&dialog, CPortSelectDlg::IDC_INTERFACES);
        QTRY_VERIFY_WITH_TIMEOUT(!list->selectedItems().isEmpty() &&
                                     list->selectedItems().front()->text() == "LAN: [HALLE-1]",
                                 15000);
    }

    void IpAddressCommandReconnectsUnderTheNewAddress() {
        PutSettingString("Port", "Name", "LAN: 10.99.1.2-10001");
        PutSettingInt("Port", "EthernetAktiv", 1);
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([](QDialog* dialog) {
            auto* config = qobject_cast<CLanConfig*>(dialog);
            if (config == nullptr) return false;
            Find<QLineEdit>(config, CLanConfig::IDC_IP_ADDRESS)->setText("10.99.1.20");
            ClickLater(config, 1);
            return true;
        });
        auto window = apptest::OpenStationWindow();
        QVERIFY(window->m_hPort > 0);
        QVERIFY(window->m_bLanReader);
        QAction* item = nullptr;
        for (QAction* action : window->SystemMenu()->actions())
            if (action->data().toInt() == COrvexFSKDlg::IDM_LANCONFIG) item = action;
        QVERIFY(item != nullptr && item->isEnabled());

        window->OnSystemCommand(COrvexFSKDlg::IDM_LANCONFIG);
        QCOMPARE(watcher.Dialogs(), QStringList{"LAN Einstellung"});
        QCOMPARE(watcher.Messages(), QStringList{});
        QCOMPARE(GetSettingString("Port", "Name", ""), QString("LAN: 10.99.1.20-10001"));
        QVERIFY(window->m_hPort > 0);
        QVERIFY(Control(kReaderA, "tcp-show").startsWith("OK 10.99.1.20:10001"));
        QVERIFY(!window->m_strDeviceText.isEmpty());
        QVERIFY(window->windowTitle().contains("<" + window->m_strDeviceText + "  FW V1."));
        QVERIFY(item->isEnabled());
    }
};

ORVEX_APP_TEST_MAIN(LanStationTest)
#include "tst_lanstation.moc"
