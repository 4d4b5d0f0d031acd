// Reading transponders from the main window against the virtual reader: decoding per
// format, the chip identification, read errors, and the cyclic read that shows and logs a
// card only when it changes.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "Settings.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"
#include "support/AppTest.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"

using apptest::Find;

namespace {

int LineCount(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    return static_cast<int>(file.readAll().count('\n'));
}

}  // namespace

class ReadRunsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<apptest::StationReader> m_reader;
    std::unique_ptr<COrvexFSKDlg> m_dlg;
    QTemporaryDir m_dir;

    QString LogPath() const { return m_dir.filePath("read.txt"); }
    void PlaceCard(int code, uint32_t a, uint32_t b, uint32_t c = 0) {
        m_reader->Engine().PlaceTransponder(
            vsim::MakeCardChip(9, vellf::EncodeCardWord(code, a, b, c)));
    }
    QString Text(int id) { return Find<QLineEdit>(*m_dlg, id)->text(); }
    void Click(int id) { QTest::mouseClick(Find<QPushButton>(*m_dlg, id), Qt::LeftButton); }

  private Q_SLOTS:
    void init() {
        apptest::ClearSettings();
        PutSettingInt("Settings", "ZyklusZeit", 40);
        PutSettingString("Protokoll", "ReadLogFileName", LogPath());
        PutSettingInt("Protokoll", "ReadLogEnable", 1);
        QFile::remove(LogPath());
        m_reader = std::make_unique<apptest::StationReader>("243c");
    }
    void cleanup() {
        m_dlg.reset();
        m_reader.reset();
    }

    void readOnceDecodesEveryFormat_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("code");
        QTest::addColumn<uint>("a");
        QTest::addColumn<uint>("b");
        QTest::addColumn<uint>("c");
        QTest::addColumn<QString>("facility");
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("fixed");
        QTest::newRow("26 bit") << 0 << 26 << 12u << 4711u << 0u << "12"
                                << "4711"
                                << "7";
        QTest::newRow("26 bit huge joins") << 1 << 26 << 0x12u << 0x3456u << 0u << "0"
                                           << "1193046"
                                           << "7";
        QTest::newRow("34 bit") << 2 << 34 << 65535u << 65535u << 0u << "65535"
                                << "65535"
                                << "7";
        QTest::newRow("34 bit NC") << 3 << 134 << 300u << 9u << 0u << "300"
                                   << "9"
                                   << "7";
        QTest::newRow("35 bit") << 4 << 35 << 4095u << 1048575u << 0u << "4095"
                                << "1048575"
                                << "7";
        QTest::newRow("36 bit") << 5 << 36 << 255u << 65535u << 1023u << "255"
                                << "65535"
                                << "1023";
        QTest::newRow("37 bit") << 6 << 37 << 65535u << 524287u << 0u << "65535"
                                << "524287"
                                << "7";
        QTest::newRow("37 bit huge joins") << 7 << 37 << 1u << 0u << 0u << "0"
                                           << "524288"
                                           << "7";
        QTest::newRow("37 bit huge largest") << 7 << 37 << 0xFFFFu << 0x7FFFFu << 0u << "0"
                                             << "34359738367"
                                             << "7";
    }
    void readOnceDecodesEveryFormat() {
        QFETCH(int, format);
        QFETCH(int, code);
        QFETCH(uint, a);
        QFETCH(uint, b);
        QFETCH(uint, c);
        QFETCH(QString, facility);
        QFETCH(QString, customer);
        QFETCH(QString, fixed);
        PlaceCard(code, a, b, c);
        PutSettingInt("Settings", "FixedField", 7);
        m_dlg = apptest::OpenStationWindow();
        apptest::SelectFormat(*m_dlg, format);
        Click(1001);
        QCOMPARE(Text(1004), facility);
        QCOMPARE(Text(1005), customer);
        QCOMPARE(Text(1009), fixed);
        // The status line says what was read.
        const QString status = m_dlg->m_strStatus;
        QVERIFY2(status.startsWith("Lesevorgang erfolgreich abgeschlossen: ") &&
                     status.endsWith("Nummer " + customer),
                 qPrintable(status));
        QCOMPARE(status.contains("Einrichtung " + facility + ","), format != 1 && format != 7);
        const auto id = m_reader->Engine().FieldSnapshot()->id;
        quint64 value = 0;
        for (int i = 7; i >= 0; --i) value = (value << 8) | (*id)[i];
        QCOMPARE(Text(1016), QString::number(value, 16).toUpper());
        QCOMPARE(LineCount(LogPath()), 1);
    }

    void readErrorsNameTheCause_data() {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("status");
        QTest::newRow("nothing") << "none"
                                 << "Kein Transponder";
        QTest::newRow("manchester") << "manchester"
                                    << "Kein FSK Format sondern Manchester Format";
        QTest::newRow("biphase") << "biphase"
                                 << "Kein FSK Format sondern Biphase Format";
        QTest::newRow("other format") << "34 bit"
                                      << "keine gültigen FSK Daten vorhanden!";
        QTest::newRow("blank ATA5577") << "blank 9"
                                       << "Transponder ohne Karte im gewählten Format (leer?)";
    }
    void readErrorsNameTheCause() {
        QFETCH(QString, card);
        QFETCH(QString, status);
        const std::vector<uint8_t> raw{0xE1, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
        if (card == "manchester")
            m_reader->Engine().PlaceTransponder(vsim::MakeManchesterCard(raw));
        else if (card == "biphase")
            m_reader->Engine().PlaceTransponder(vsim::MakeBiphaseCard(raw));
        else if (card.startsWith("blank "))
            m_reader->Place(card.mid(6).toInt());
        else if (card == "34 bit") {
            // A reader without card decoding of its own, so the station's SDK decodes and
            // sees the length markers of another format.
            m_reader = std::make_unique<apptest::StationReader>("2434");
            PlaceCard(34, 1, 2);
        }
        PutSettingInt("Settings", "FixedField", 7);
        PutSettingInt("Settings", "FacilityCode", 12);
        PutSettingString("Settings", "CustomerNr", "815");
        m_dlg = apptest::OpenStationWindow();
        Click(1001);
        QCOMPARE(m_dlg->m_strStatus, status);
        // A failed read leaves what the operator typed; only a card read copies its fields.
        QCOMPARE(Text(1005), QString("815"));
        QCOMPARE(Text(1004), QString("12"));
        QCOMPARE(Text(1009), QString("7"));
        QCOMPARE(Text(1016), QString());
        QCOMPARE(LineCount(LogPath()), 0);
    }

    void readSwitchesRangeChecksOff() {
        PlaceCard(26, 1, 2);
        PutSettingString("Settings", "CustomerNr", "99999999999");
        apptest::ModalWatcher watcher;
        m_dlg = apptest::OpenStationWindow();
        Click(1001);
        QVERIFY(watcher.Messages().isEmpty());
        QCOMPARE(Text(1005), QString("2"));
    }

    void cyclicReadShowsAndLogsACardOncePerVisit() {
        m_dlg = apptest::OpenStationWindow();
        auto* toggle = Find<QPushButton>(*m_dlg, 1002);
        Click(1002);
        QVERIFY(toggle->isChecked() && toggle->isEnabled());
        QVERIFY(!Find<QPushButton>(*m_dlg, 1001)->isEnabled());
        QVERIFY(!Find<QPushButton>(*m_dlg, 1007)->isEnabled());

        PlaceCard(26, 12, 4711);
        QTRY_COMPARE_WITH_TIMEOUT(Text(1005), QString("4711"), 5000);
        QTest::qWait(400);  // about ten more ticks with the card held
        QCOMPARE(LineCount(LogPath()), 1);

        // Taken away, the card's fields stay (only its identification goes), so a write
        // series started next goes on with them, never with facility 0.
        m_reader->Remove();
        QTRY_COMPARE_WITH_TIMEOUT(Text(1016), QString(), 5000);
        QCOMPARE(Text(1005), QString("4711"));
        QCOMPARE(Text(1004), QString("12"));
        PlaceCard(26, 12, 4711);
        QTRY_COMPARE_WITH_TIMEOUT(LineCount(LogPath()), 2, 5000);
        QVERIFY(!Text(1016).isEmpty());

        Click(1002);
        QVERIFY(!toggle->isChecked());
        QCOMPARE(m_dlg->m_nReadTimer, 0);
        QVERIFY(Find<QPushButton>(*m_dlg, 1001)->isEnabled());
        QCOMPARE(Text(1004), QString("12"));
        QCOMPARE(Text(1005), QString("4711"));
    }

    void cyclicReadShowsACardEqualToTheFieldsTyped() {
        PutSettingInt("Settings", "FacilityCode", 0);
        PutSettingString("Settings", "CustomerNr", "0");
        m_dlg = apptest::OpenStationWindow();
        Click(1002);
        PlaceCard(26, 0, 0);
        QTRY_COMPARE_WITH_TIMEOUT(LineCount(LogPath()), 1, 5000);
        QVERIFY(!Text(1016).isEmpty());
        QTest::qWait(200);
        QCOMPARE(LineCount(LogPath()), 1);
        Click(1002);
    }
};

ORVEX_APP_TEST_MAIN(ReadRunsTest)
#include "tst_readruns.moc"
