// Writing transponders from the main window against the virtual reader: single writes,
// write series fed chip by chip, the stop conditions, presence detection, locking, lamps,
// signals and the write log.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <chrono>
#include <memory>

#include "CardFeeder.h"
#include "FreshChip.h"
#include "Settings.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"
#include "support/AppTest.h"
#include "support/RecordingSignalOutput.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"
#include "widgets/BitmapStatic.h"

using apptest::Find;
using apptest::SignalCall;
using namespace std::chrono_literals;

namespace {

constexpr int kSeriesTimeoutMs = 30000;

QString ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll());
}

}  // namespace

class WriteRunsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<apptest::StationReader> m_reader;
    std::unique_ptr<COrvexFSKDlg> m_dlg;
    apptest::RecordingSignalOutput m_signals;
    QTemporaryDir m_dir;

    COrvexFSKDlg& Open() {
        m_dlg = apptest::OpenStationWindow();
        m_dlg->SetSignalOutput(&m_signals);
        return *m_dlg;
    }
    void SetCustomer(const QString& number) { Find<QLineEdit>(*m_dlg, 1005)->setText(number); }
    void Click(int id) { QTest::mouseClick(Find<QAbstractButton>(*m_dlg, id), Qt::LeftButton); }
    bool SeriesRunning() { return Find<QPushButton>(*m_dlg, 1007)->isChecked(); }
    vsim::ReaderEngine& Engine() { return m_reader->Engine(); }
    std::optional<uint64_t> CardOnField() {
        const auto snapshot = Engine().FieldSnapshot();
        return snapshot ? snapshot->cardWord : std::nullopt;
    }

  private Q_SLOTS:
    void init() {
        apptest::ClearSettings();
        PutSettingInt("Settings", "ZyklusZeit", 40);
        PutSettingInt("Settings", "BeepTime", 150);
        PutSettingString("Protokoll", "WriteLogFileName", m_dir.filePath("write.txt"));
        PutSettingInt("Protokoll", "WriteLogEnable", 1);
        QFile::remove(m_dir.filePath("write.txt"));
        m_reader = std::make_unique<apptest::StationReader>("243c");
        m_signals.calls.clear();
    }
    void cleanup() {
        m_dlg.reset();
        m_reader.reset();
    }

    void writeOnceWritesTheCardAndCountsIt() {
        m_reader->Place(9);
        Open();
        SetCustomer("4711");
        Find<QLineEdit>(*m_dlg, 1004)->setText("12");
        Click(1006);
        QCOMPARE(m_dlg->m_strStatus, QString("Schreibvorgang erfolgreich abgeschlossen"));
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 12, 4711, 0));
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("4712"));
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1041)->text(), QString("1"));
        QVERIFY(!Find<QLineEdit>(*m_dlg, 1016)->text().isEmpty());
        QCOMPARE(m_signals.calls, QList<SignalCall>{SignalCall::Tone(440, 150)});
        const QString log = ReadAll(m_dir.filePath("write.txt"));
        QVERIFY2(log.contains("\t26 Bit,12,4711,not Locked ATA5577\t" + m_dlg->m_strUid + "\r\n"),
                 qPrintable(log));
        QVERIFY(log.startsWith("     1\t"));
    }

    void hugeFormatsSplitTheNumber_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("code");
        QTest::addColumn<uint>("first");
        QTest::addColumn<uint>("second");
        QTest::newRow("26 bit huge") << 1 << "16777215" << 26 << 0xFFu << 0xFFFFu;
        QTest::newRow("26 bit huge 0x123456") << 1 << "1193046" << 26 << 0x12u << 0x3456u;
        QTest::newRow("37 bit huge") << 7 << "34359738367" << 37 << 0xFFFFu << 0x7FFFFu;
    }
    void hugeFormatsSplitTheNumber() {
        QFETCH(int, format);
        QFETCH(QString, number);
        QFETCH(int, code);
        QFETCH(uint, first);
        QFETCH(uint, second);
        m_reader->Place(9);
        Open();
        apptest::SelectFormat(*m_dlg, format);
        SetCustomer(number);
        Click(1006);
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(code, first, second, 0));
    }

    void lockedWriteLocksTheChipAndLogsLocked() {
        m_reader->Place(9);
        Open();
        Find<QCheckBox>(*m_dlg, 1020)->setChecked(true);
        Click(1006);
        const auto snapshot = Engine().FieldSnapshot();
        QVERIFY(snapshot.has_value());
        QVERIFY(snapshot->locked.size() > 3 && snapshot->locked[0] && snapshot->locked[1]);
        QVERIFY(ReadAll(m_dir.filePath("write.txt")).contains(",Locked ATA5577\t"));
    }

    void writeProtectedM2IsNotWritten() {
        Engine().PlaceTransponder(vsim::MakeConfiguredChip(11, 0xAA));
        PutSettingInt("Settings", "TransponderTyp", 11);
        Open();
        Click(1006);
        QCOMPARE(m_dlg->m_strStatus, QString("Der Transponder ist schreibgeschützt"));
        QCOMPARE(CardOnField(), std::nullopt);
        QVERIFY(m_signals.calls.isEmpty());
    }

    void freshM2ChipsAreWrittenInASeries() {
        PutSettingInt("Settings", "TransponderTyp", 11);
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({11, 5, 0ms}));
        Open();
        SetCustomer("7");
        Click(1019);
        Find<QLineEdit>(*m_dlg, 1040)->setText("2");
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        QCOMPARE(m_dlg->m_nCount, 2);
        const QString log = ReadAll(m_dir.filePath("write.txt"));
        QVERIFY2(log.contains(",7,not Locked ATA5575 M2\r\n"), qPrintable(log));
        QVERIFY(log.contains(",8,not Locked ATA5575 M2\r\n"));
    }

    void writeOnceWithoutTransponder() {
        Open();
        Click(1006);
        QCOMPARE(m_dlg->m_strStatus, QString("Kein Transponder"));
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("0"));
    }

    void seriesStopsAtCountOrEndValue_data() {
        QTest::addColumn<bool>("atCount");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("next");
        QTest::newRow("count 3") << true << "3" << 3 << "103";
        QTest::newRow("end value 105") << false << "105" << 6 << "106";
        QTest::newRow("end value equal to start") << false << "100" << 1 << "101";
    }
    void seriesStopsAtCountOrEndValue() {
        QFETCH(bool, atCount);
        QFETCH(QString, limit);
        QFETCH(int, written);
        QFETCH(QString, next);
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({9, 10, 0ms}));
        Open();
        SetCustomer("100");
        Click(atCount ? 1019 : 1042);
        Find<QLineEdit>(*m_dlg, atCount ? 1040 : 1043)->setText(limit);
        Click(1007);
        QVERIFY(SeriesRunning());
        QVERIFY(!Find<QPushButton>(*m_dlg, 1006)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        QCOMPARE(m_dlg->m_nCount, written);
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1041)->text(), QString::number(written));
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), next);
        QVERIFY(Find<QPushButton>(*m_dlg, 1006)->isEnabled());
        QCOMPARE(m_dlg->m_nWriteTimer, 0);
        const QString log = ReadAll(m_dir.filePath("write.txt"));
        QCOMPARE(log.count("\r\n"), written);
        QVERIFY(log.contains(",100,not Locked"));
        QVERIFY(log.contains(QString(",%1,not Locked").arg(next.toLongLong() - 1)));
        QCOMPARE(m_signals.calls.count(SignalCall::Tone(440, 150)), written);
    }

    void seriesStartIsRefused_data() {
        QTest::addColumn<bool>("atCount");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("message");
        QTest::newRow("end value below start")
            << false << "99"
            << "Endwert ist kleiner als Startwert (Kunden Nummer)!";
        QTest::newRow("count 0") << true << "0"
                                 << "Anzahl 0 nicht erlaubt!";
    }
    void seriesStartIsRefused() {
        QFETCH(bool, atCount);
        QFETCH(QString, limit);
        QFETCH(QString, message);
        m_reader->Place(9);
        Open();
        apptest::ModalWatcher watcher;
        SetCustomer("100");
        Click(atCount ? 1019 : 1042);
        Find<QLineEdit>(*m_dlg, atCount ? 1040 : 1043)->setText(limit);
        Click(1007);
        QCOMPARE(watcher.Messages(), QStringList{message});
        QVERIFY(!SeriesRunning());
        QCOMPARE(m_dlg->m_nWriteTimer, 0);
        QCOMPARE(CardOnField(), std::nullopt);
    }

    void chipHeldIsWrittenOnceAndAgainOnlyAfterTwoSecondsAway() {
        auto chip = vsim::MakeFreshChip(9);
        const vsim::ChipId id = *chip->Snapshot().id;
        Engine().PlaceTransponder(std::move(chip));
        Open();
        SetCustomer("500");
        Click(1007);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 5000);
        QTest::qWait(400);  // ten ticks with the chip still there
        QCOMPARE(m_dlg->m_nCount, 1);

        auto putBack = [&](std::chrono::milliseconds away) {
            Engine().RemoveTransponder();
            QTest::qWait(static_cast<int>(away.count()));
            auto same = vsim::MakeFreshChip(9);
            same->SetId(id);
            Engine().PlaceTransponder(std::move(same));
            QTest::qWait(500);
        };
        putBack(1000ms);
        QCOMPARE(m_dlg->m_nCount, 1);
        putBack(3000ms);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 2, 5000);
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 255, 501, 0));
        Click(1007);
        QVERIFY(!SeriesRunning());
    }

    void failedSeriesWriteShowsRedAndSoundsFourTones() {
        m_reader->Place(9);
        Open();
        Engine().FailCommand(0xC3, 1000, 0x04);
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.calls.size() >= 4, 10000);
        Click(1007);
        QCOMPARE(m_signals.calls.mid(0, 4),
                 (QList<SignalCall>{SignalCall::Tone(1000, 200), SignalCall::Tone(2000, 200),
                                    SignalCall::Tone(1000, 200), SignalCall::Tone(2000, 200)}));
        QCOMPARE(m_dlg->m_strStatus, QString("Kein Transponder"));
        QCOMPARE(m_dlg->m_nCount, 0);
    }

    void lampsFollowTheSeries() {
        Open();
        const int normalWidth = m_dlg->width();
        auto* red = Find<CBitmapStatic>(*m_dlg, 1047);
        Click(1007);
        QTRY_VERIFY(m_dlg->width() > normalWidth);
        QVERIFY(red->isVisible());
        m_reader->Place(9);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 5000);
        QVERIFY(Find<CBitmapStatic>(*m_dlg, 1045)->Bitmap().toImage() !=
                Find<CBitmapStatic>(*m_dlg, 1046)->Bitmap().toImage());
        Click(1007);
        QVERIFY(!red->isVisible());
        QTRY_COMPARE(m_dlg->width(), normalWidth);
    }

    void unwritableLogIsReportedAndListedWhenTheSeriesStops() {
        // A folder in place of the file cannot be opened, not even by root.
        const QString path = m_dir.filePath("log-is-a-folder");
        QDir().mkpath(path);
        PutSettingString("Protokoll", "WriteLogFileName", path);
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({9, 3, 0ms}));
        Open();
        apptest::ModalWatcher watcher;
        QString shownLog;
        watcher.SetDialogHandler([&shownLog](QDialog* dialog) {
            if (auto* view = qobject_cast<QPlainTextEdit*>(ControlById(dialog, 1023)))
                shownLog = view->toPlainText();
            else if (auto* edit = qobject_cast<QTextEdit*>(ControlById(dialog, 1023)))
                shownLog = edit->toPlainText();
            dialog->accept();
            return true;
        });
        Click(1019);
        Find<QLineEdit>(*m_dlg, 1040)->setText("1");
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        QCOMPARE(m_dlg->m_nCount, 1);
        QCOMPARE(watcher.Messages().size(), 1);
        QVERIFY(watcher.Messages().first().startsWith(
            "Fehler beim Schreiben der Logdatei aufgetreten!\n"));
        QTRY_COMPARE(watcher.Dialogs(), QStringList{"Fehleranzeige"});
        for (int attempt = 0; attempt < 6; ++attempt)
            QVERIFY2(shownLog.contains(QString("Open Error: Retry:%1 ").arg(attempt)),
                     qPrintable(shownLog));
        QCOMPARE(shownLog.count("Open Error:"), 6);
        QVERIFY(m_dlg->m_strErrorLog.isEmpty());
    }
};

ORVEX_APP_TEST_MAIN(WriteRunsTest)
#include "tst_writeruns.moc"
