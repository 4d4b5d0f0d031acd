// What the two network dialogs make of the SDK's address texts: a reader's reported settings
// as the LAN configuration's fields, the merge of the two search lists, and the address field.
#include "dialogs/LanAddressText.h"
#include "support/AppTest.h"
#include "widgets/IpAddressEdit.h"

Q_DECLARE_METATYPE(QList<LanSearchItem>)

bool operator==(const LanSearchItem& a, const LanSearchItem& b) {
    return a.text == b.text && a.kind == b.kind;
}

namespace QTest {
template <>
char* toString(const QList<LanSearchItem>& items) {
    QStringList texts;
    for (const LanSearchItem& item : items)
        texts << QStringLiteral("%1/%2").arg(item.text).arg(item.kind);
    return QTest::toString(texts.join(" | "));
}
}  // namespace QTest

class LanFieldsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void ReportedSettingsBecomeFields_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("dhcpName");
        QTest::addColumn<int>("port");
        QTest::newRow("DHCP reader, port from its name") << "[NAME]-10002"
                                                         << "" << 0 << ""
                                                         << "NAME" << 10002;
        QTest::newRow("fixed address with port") << "[LAGER-A]-10005"
                                                 << "192.168.0.20-10005" << 1 << "192.168.0.20"
                                                 << "LAGER-A" << 10005;
        QTest::newRow("fixed address without port") << "[LAGER-A]-10007"
                                                    << "192.168.0.20" << 1 << "192.168.0.20"
                                                    << "LAGER-A" << 10001;
        QTest::newRow("DHCP name without port") << "[NAME]"
                                                << "" << 0 << ""
                                                << "NAME" << 10001;
        QTest::newRow("name of sixteen characters") << "[HALLE-2-NORDOST1]-10001"
                                                    << "" << 0 << ""
                                                    << "HALLE-2-NORDOST1" << 10001;
        QTest::newRow("name without brackets taken whole") << "NAME-10003"
                                                           << "" << 0 << ""
                                                           << "NAME-10003" << 10001;
        QTest::newRow("no digits after the dash") << "[N]-x"
                                                  << "" << 0 << ""
                                                  << "N" << 0;
    }
    void ReportedSettingsBecomeFields() {
        QFETCH(QString, name);
        QFETCH(QString, address);
        const LanSettingsFields fields = ReadLanSettings(name, address);
        QTEST(fields.mode, "mode");
        QTEST(fields.ip, "ip");
        QTEST(fields.dhcpName, "dhcpName");
        QTEST(fields.port, "port");
    }

    void SearchListsMergeByKey_data() {
        using Items = QList<LanSearchItem>;
        constexpr int reader = LanSearchItem::kReader;
        constexpr int other = LanSearchItem::kOtherDevice;
        QTest::addColumn<QStringList>("readers");
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<Items>("items");
        QTest::newRow("named reader gets its address, any case")
            << QStringList{"10.99.1.2-10001", "[HALLE-1]"}
            << QStringList{"10.99.1.2-10001", "[halle-1]10.99.1.3-10001"}
            << Items{{"10.99.1.2-10001", reader}, {"[halle-1]10.99.1.3-10001", reader}};
        QTest::newRow("device of another maker follows in red")
            << QStringList{"10.99.1.2-10001"} << QStringList{"10.99.1.5-10001", "10.99.1.2-10001"}
            << Items{{"10.99.1.2-10001", reader}, {"10.99.1.5-10001", other}};
        QTest::newRow("bracket never closed matches nothing")
            << QStringList{"[X"} << QStringList{"[X"} << Items{{"[X", reader}, {"[X", other}};
        QTest::newRow("named device not among the readers")
            << QStringList{} << QStringList{"[FREMD]10.99.1.7-10001"}
            << Items{{"[FREMD]10.99.1.7-10001", other}};
        QTest::newRow("nothing found") << QStringList{} << QStringList{} << Items{};
    }
    void SearchListsMergeByKey() {
        QFETCH(QStringList, readers);
        QFETCH(QStringList, devices);
        QTEST(MergeLanSearch(readers, devices), "items");
    }

    void SdkListIsReadWithinWhatItReports() {
        const char text[] = "10.99.1.2-10001\0[HALLE-1]\0\0garbage";
        const std::vector<char> buffer(text, text + sizeof text);
        QCOMPARE(ParseSdkTextList(buffer, 27), (QStringList{"10.99.1.2-10001", "[HALLE-1]"}));
        QCOMPARE(ParseSdkTextList(buffer, 20), QStringList{"10.99.1.2-10001"});  // cut entry
        QCOMPARE(ParseSdkTextList(buffer, 1), QStringList{});
        QCOMPARE(ParseSdkTextList(buffer, 9999).size(), 2);
    }

    void AddressFieldTakesOnlyOctets_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("address");
        QTest::newRow("whole address") << "10.99.1.20"
                                       << "10.99.1.20" << true << "10.99.1.20";
        QTest::newRow("leading zeros") << "010.099.001.020"
                                       << "010.099.001.020" << true << "10.99.1.20";
        QTest::newRow("octet above 255 stops") << "10.99.256"
                                               << "10.99.25" << false << "";
        QTest::newRow("fifth octet refused") << "1.2.3.4.5"
                                             << "1.2.3.45" << true << "1.2.3.45";
        QTest::newRow("letters refused") << "10.a9.1.2"
                                         << "10.9.1.2" << true << "10.9.1.2";
        QTest::newRow("half typed") << "10.99.1."
                                    << "10.99.1." << false << "";
    }
    void AddressFieldTakesOnlyOctets() {
        QFETCH(QString, typed);
        CIpAddressEdit edit;
        edit.show();
        QTest::keyClicks(&edit, typed);
        QTEST(edit.text(), "shown");
        QTEST(edit.IsComplete(), "complete");
        QTEST(edit.Address(), "address");
        QVERIFY(!edit.IsBlank());
        edit.SetAddress("not an address");
        QVERIFY(edit.IsBlank());
    }
};

ORVEX_APP_TEST_MAIN(LanFieldsTest)
#include "tst_lanfields.moc"
