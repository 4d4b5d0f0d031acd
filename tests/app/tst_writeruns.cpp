// Writing transponders from the main window against the virtual reader: single writes,
// write series fed chip by chip, the stop conditions, presence detection, locking, lamps,
// signals and the write log.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <functional>
#include <memory>
#include <set>

#include "CardFeeder.h"
#include "FreshChip.h"
#include "Settings.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"
#include "support/AppTest.h"
#include "support/RecordingSignalOutput.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"
#include "support/WriteStationFixture.h"
#include "widgets/BitmapStatic.h"

using apptest::Find;
using apptest::SignalCall;
using namespace std::chrono_literals;

namespace {

constexpr int kSeriesTimeoutMs = 30000;
const QString kWriteDone = QStringLiteral("Schreibvorgang erfolgreich abgeschlossen");

QString ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll());
}

const QList<SignalCall> kFailureTones{SignalCall::Tone(1000, 200), SignalCall::Tone(2000, 200),
                                      SignalCall::Tone(1000, 200), SignalCall::Tone(2000, 200)};

// The customer numbers of a write log, in order.
QList<qint64> LoggedNumbers(const QString& log) {
    QList<qint64> numbers;
    for (const QString& line : log.split("\r\n", Qt::SkipEmptyParts))
        numbers << line.section('\t', 2, 2).section(',', 2, 2).toLongLong();
    return numbers;
}

QAction* MenuAction(COrvexFSKDlg& dlg, int command) {
    for (QAction* action : dlg.SystemMenu()->actions()) {
        if (action->data().toInt() == command) return action;
    }
    return nullptr;
}

// A read-only settings file, as an administrator rolls it out; root writes through file
// modes, so for root the file is made immutable.
bool SetReadOnly(const QString& path, bool readOnly) {
    const QByteArray name = QFile::encodeName(path);
    if (::geteuid() != 0) return ::chmod(name.constData(), readOnly ? 0444 : 0644) == 0;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = readOnly ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}

// Runs action once, inside the next write tick's reader exchange (the wait pumps events).
void DuringNextTick(COrvexFSKDlg& dlg, std::function<void()> action) {
    auto* poll = new QTimer(&dlg);
    QObject::connect(poll, &QTimer::timeout, poll, [&dlg, poll, action = std::move(action)] {
        if (!dlg.m_bInTimer) return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(1);
}

// A station in a child process: a write series with auto increment fed by fresh chips,
// until the parent kills it.
int RunSeriesChild(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       qEnvironmentVariable("XDG_CONFIG_HOME"));
    QApplication app(argc, argv);
    apptest::StationReader reader;
    vsim::CardFeeder feeder(reader.Engine());
    if (!feeder.Start({9, 1000, 300ms})) return 3;
    apptest::RecordingSignalOutput signalOutput;
    auto dlg = apptest::OpenStationWindow();
    dlg->SetSignalOutput(&signalOutput);
    // Fields other than the stored ones: a restart must find them with the number.
    apptest::SelectFormat(*dlg, 5);
    Find<QLineEdit>(*dlg, 1004)->setText("12");
    Find<QLineEdit>(*dlg, 1009)->setText("7");
    QTest::mouseClick(Find<QPushButton>(*dlg, 1007), Qt::LeftButton);
    return QApplication::exec();
}

}  // namespace

class WriteRunsTest : public apptest::WriteStationFixture {
    Q_OBJECT

  private Q_SLOTS:
    void init() {
        PrepareWriteStation();
        PutSettingInt("Settings", "BeepTime", 150);
    }
    void cleanup() { CloseWriteStation(); }

    void writeOnceWritesTheCardAndCountsIt() {
        m_reader->Place(9);
        Open();
        SetCustomer("4711");
        Find<QLineEdit>(*m_dlg, 1004)->setText("12");
        Click(1006);
        // The number field shows the next number; the status names the card written.
        QCOMPARE(m_dlg->m_strStatus, kWriteDone + ": 26 Bit, Einrichtung 12, Nummer 4711, geprüft");
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
        QTest::newRow("37 bit huge past 2^32") << 7 << "4294967296" << 37 << 0x2000u << 0u;
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
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString::number(number.toLongLong() + 1));
        // The hidden facility field never reached the card: the log says 0.
        const QString log = ReadAll(m_dir.filePath("write.txt"));
        QVERIFY2(log.contains(QString(" Huge,0,%1,not Locked").arg(number)), qPrintable(log));
    }

    void everyFormatWritesItsLargestNumberAndRefusesOneMore_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<qint64>("largest");
        QTest::addColumn<quint64>("word");
        auto word = [](int code, uint32_t a, uint32_t b) {
            return static_cast<quint64>(vellf::EncodeCardWord(code, a, b, 0));
        };
        QTest::newRow("26") << 0 << qint64{65535} << word(26, 255, 65535);
        QTest::newRow("26 huge") << 1 << qint64{16777215} << word(26, 0xFF, 0xFFFF);
        QTest::newRow("34") << 2 << qint64{65535} << word(34, 255, 65535);
        QTest::newRow("34 NC") << 3 << qint64{65535} << word(134, 255, 65535);
        QTest::newRow("35") << 4 << qint64{1048575} << word(35, 255, 1048575);
        QTest::newRow("36") << 5 << qint64{65535} << word(36, 255, 65535);
        QTest::newRow("37") << 6 << qint64{524287} << word(37, 255, 524287);
        QTest::newRow("37 huge") << 7 << qint64{34359738367} << word(37, 0xFFFF, 0x7FFFF);
    }
    void everyFormatWritesItsLargestNumberAndRefusesOneMore() {
        QFETCH(int, format);
        QFETCH(qint64, largest);
        QFETCH(quint64, word);
        m_reader->Place(9);
        Open();
        apptest::ModalWatcher watcher;
        apptest::SelectFormat(*m_dlg, format);
        SetCustomer(QString::number(largest + 1));
        Click(1006);
        QCOMPARE(watcher.Messages(),
                 QStringList{QString("Es sind nur Werte bis %1 erlaubt!").arg(largest)});
        QCOMPARE(CardOnField(), std::nullopt);
        SetCustomer(QString::number(largest));
        Click(1006);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
        QCOMPARE(CardOnField(), std::optional<uint64_t>(static_cast<uint64_t>(word)));
    }

    void seriesStopsAtTheFormatsLargestNumber() {
        std::set<uint64_t> onChips;
        const int observer = Engine().AddFieldObserver([this, &onChips] {
            if (const auto word = CardOnField()) onChips.insert(*word);
        });
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({9, 5, 0ms}));
        Open();
        apptest::ModalWatcher watcher;
        SetCustomer("65534");
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        QTest::qWait(300);
        Engine().RemoveFieldObserver(observer);
        QCOMPARE(watcher.Messages(), QStringList{"Es sind nur Werte bis 65535 erlaubt!"});
        QCOMPARE(LoggedNumbers(ReadAll(m_dir.filePath("write.txt"))),
                 (QList<qint64>{65534, 65535}));
        QCOMPARE(onChips, (std::set<uint64_t>{vellf::EncodeCardWord(26, 255, 65534, 0),
                                              vellf::EncodeCardWord(26, 255, 65535, 0)}));
        QCOMPARE(m_dlg->m_strStatus, QString("Serie beendet: 2 Transponder geschrieben"));
        // The next start is refused: 65536 does not fit.
        watcher.Clear();
        Click(1007);
        QVERIFY(!SeriesRunning());
        QCOMPARE(watcher.Messages(), QStringList{"Es sind nur Werte bis 65535 erlaubt!"});
    }

    void toggleStopsTheSeriesWhateverTheFieldsHold() {
        Open();
        apptest::ModalWatcher watcher;
        Click(1007);
        QVERIFY(SeriesRunning());
        QTest::qWait(100);
        // Values a start would refuse must not keep the series running.
        SetCustomer("99999999999");
        Find<QLineEdit>(*m_dlg, 1040)->setText("");
        Click(1007);
        QVERIFY(!SeriesRunning());
        QCOMPARE(m_dlg->m_nWriteTimer, 0);
        QVERIFY(Find<QPushButton>(*m_dlg, 1006)->isEnabled());
        QCOMPARE(watcher.Messages(), QStringList{});
    }

    void doubleClickOnWriteOnceWritesOneCard() {
        m_reader->Place(9);
        Open();
        SetCustomer("4711");
        // A double click as the window system delivers it: press, release, then a second
        // press followed by a double-click event, and its release.
        auto* button = Find<QPushButton>(*m_dlg, 1006);
        const QPoint at = button->rect().center();
        auto send = [button, at](QEvent::Type type) {
            QMouseEvent event(type, at, button->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(button, &event);
        };
        for (QEvent::Type type :
             {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
            send(type);
        QTest::qWait(200);
        QCOMPARE(LoggedNumbers(ReadAll(m_dir.filePath("write.txt"))), QList<qint64>{4711});
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("4712"));
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 255, 4711, 0));
    }

    void menuCommandDuringATickIsCarriedOutAfterIt() {
        // An unwritable log fills the error list; the settings command stops the series and
        // shows the list only once the tick's exchange is over and the timer is gone.
        const QString path = m_dir.filePath("log-is-a-folder");
        QDir().mkpath(path);
        PutSettingString("Protokoll", "WriteLogFileName", path);
        m_reader->Place(9);
        Open();
        apptest::ModalWatcher watcher;
        QStringList seen;
        watcher.SetDialogHandler([this, &seen](QDialog* dialog) {
            seen << QString("%1 in tick %2 timer %3")
                        .arg(dialog->windowTitle())
                        .arg(m_dlg->m_bInTimer)
                        .arg(m_dlg->m_nWriteTimer);
            dialog->reject();
            return true;
        });
        Click(1007);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 5000);
        QTRY_COMPARE(watcher.Messages().size(), 1);  // the log failure
        Engine().SetReplyDelay(50ms);
        bool commandInTick = false;
        DuringNextTick(*m_dlg, [this, &commandInTick] {
            commandInTick = m_dlg->m_bInTimer;
            MenuAction(*m_dlg, COrvexFSKDlg::IDM_SETTINGS)->trigger();
        });
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, 5000);
        QVERIFY(commandInTick);
        QCOMPARE(seen, (QStringList{"Fehleranzeige in tick 0 timer 0",
                                    "Einstellungen in tick 0 timer 0"}));
        QVERIFY(!SeriesRunning());
        QVERIFY(m_dlg->m_strErrorLog.isEmpty());
    }

    void escapeDuringATickStopsTheSeriesAfterItAndKeepsTheWindow() {
        Open();
        SetCustomer("321");
        Click(1007);
        Engine().SetReplyDelay(50ms);
        bool stoppedInTick = true;
        connect(Find<QPushButton>(*m_dlg, 1007), &QPushButton::toggled, this,
                [this, &stoppedInTick] { stoppedInTick = m_dlg->m_bInTimer; });
        DuringNextTick(*m_dlg, [this] { QTest::keyClick(m_dlg.get(), Qt::Key_Escape); });
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nWriteTimer, 0, 5000);
        QVERIFY(!stoppedInTick);
        QVERIFY(!SeriesRunning());
        QVERIFY(m_dlg->isVisible());
    }

    void languageSwitchDuringASeriesKeepsTheNextNumber() {
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({9, 20, 100ms}));
        Open();
        SetCustomer("800");
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->m_nCount >= 2, kSeriesTimeoutMs);
        m_dlg->OnSystemCommand(COrvexFSKDlg::IDM_ENGLISH);
        QTRY_COMPARE(m_dlg->result(), COrvexFSKDlg::kEndLanguageChanged);
        QCOMPARE(m_dlg->m_nWriteTimer, 0);
        feeder.Stop();
        const QList<qint64> logged = LoggedNumbers(ReadAll(m_dir.filePath("write.txt")));
        const QString next = QString::number(logged.last() + 1);
        QCOMPARE(GetSettingString("Settings", "CustomerNr", ""), next);
        m_dlg.reset();
        Open();
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), next);
    }

    void unwritableSettingsStopTheSeriesBeforeTheNextCard() {
        // Without the register nothing else refuses a number issued before.
        PutSettingInt("Register", "Enabled", 0);
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({9, 20, 0ms}));
        Open();
        SetCustomer("700");
        apptest::ModalWatcher watcher;
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->m_nCount >= 1, kSeriesTimeoutMs);
        const QString iniPath = SettingsFilePath();
        if (!SetReadOnly(iniPath, true)) QSKIP("the settings file cannot be made read-only here");
        auto writable = qScopeGuard([&iniPath] { SetReadOnly(iniPath, false); });
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        m_dlg->reject();  // the closing store fails too
        writable.dismiss();
        QVERIFY(SetReadOnly(iniPath, false));
        feeder.Stop();

        QCOMPARE(watcher.Messages().size(), 2);
        QVERIFY2(watcher.Messages()[0].startsWith("Die nächste Nummer kann nicht gespeichert werden (" + iniPath + ")"),
                 qPrintable(watcher.Messages()[0]));
        QVERIFY2(watcher.Messages()[1].contains(iniPath), qPrintable(watcher.Messages()[1]));
        // What a restart reads (the file, not this process's copy) is past every number a
        // chip holds.
        const QList<qint64> logged = LoggedNumbers(ReadAll(m_dir.filePath("write.txt")));
        QCOMPARE(logged.size(), m_dlg->m_nCount);
        QSettings onDisk(iniPath, QSettings::IniFormat);
        QVERIFY(onDisk.value("Settings/CustomerNr").toLongLong() > logged.last());
    }

    void killedStationRestartsAfterTheLastCardWritten() {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({"--series-child"});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        QVERIFY(child.waitForStarted());
        const QString logPath = m_dir.filePath("write.txt");
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(logPath).count("\r\n") >= 3, 60000);
        child.kill();  // SIGKILL: no Cancel, no destructor
        QVERIFY(child.waitForFinished());
        const QList<qint64> logged = LoggedNumbers(ReadAll(logPath));
        const qint64 stored = GetSettingString("Settings", "CustomerNr", "").toLongLong();
        // The next number is stored before each write, so a station killed in the middle
        // of one skips that number rather than writing it twice.
        QVERIFY2(stored == logged.last() + 1 || stored == logged.last() + 2,
                 qPrintable(QString("stored %1, last logged %2").arg(stored).arg(logged.last())));
        PutSettingString("Port", "Name", QString::fromStdString(m_reader->Path()));
        Open();
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString::number(stored));
        // The number belongs to the card fields it was written with.
        QCOMPARE(Find<QComboBox>(*m_dlg, 1008)->currentIndex(), 5);
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1004)->text(), QString("12"));
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1009)->text(), QString("7"));
    }

    void emptyCustomerNumberIsRefused() {
        m_reader->Place(9);
        Open();
        apptest::ModalWatcher watcher;
        SetCustomer("");
        Click(1006);
        QCOMPARE(watcher.Messages(), QStringList{"Geben Sie eine ganze Zahl ein."});
        QCOMPARE(CardOnField(), std::nullopt);
        QVERIFY(ReadAll(m_dir.filePath("write.txt")).isEmpty());
    }

    void verifiedSeriesCatchesAWeakWrite_data() {
        QTest::addColumn<bool>("verify");
        QTest::newRow("verify on") << true;
        QTest::newRow("verify off") << false;
    }
    void verifiedSeriesCatchesAWeakWrite() {
        QFETCH(bool, verify);
        PutSettingInt("Settings", "Verify", verify ? 1 : 0);
        const uint64_t oldCard = vellf::EncodeCardWord(26, 1, 1, 0);
        auto weak = vsim::MakeCardChip(9, oldCard);
        weak->SetWeak(true);
        Engine().PlaceTransponder(std::move(weak));
        Open();
        QCOMPARE(Find<QCheckBox>(*m_dlg, 1061)->isChecked(), verify);
        apptest::ModalWatcher watcher;  // the error list when the series stops
        SetCustomer("300");
        Click(1007);
        if (!verify) {
            // As without the check: reported as written although the chip kept its card.
            QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 5000);
            QCOMPARE(CardOnField(), std::optional<uint64_t>(oldCard));
            QCOMPARE(LoggedNumbers(ReadAll(m_dir.filePath("write.txt"))), QList<qint64>{300});
            Click(1007);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.calls.size() >= 4, 5000);
        QCOMPARE(m_signals.calls, kFailureTones);
        QCOMPARE(m_dlg->m_strStatus,
                 QString("Prüfung fehlgeschlagen: Der Transponder enthält nicht die geschriebenen "
                         "Daten - Transponder wegnehmen und erneut auflegen"));
        QCOMPARE(m_dlg->m_nCount, 0);
        // The write reached the chip: the register holds 300 as unverified, the next is 301.
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("301"));
        QVERIFY(ReadAll(m_dir.filePath("write.txt")).isEmpty());
        // The failed chip is not tried again while it stays; the next chip gets the next number.
        QTest::qWait(300);
        QCOMPARE(m_signals.calls.size(), 4);
        m_reader->Remove();
        QTest::qWait(100);
        m_reader->Place(9);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 5000);
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 255, 301, 0));
        QCOMPARE(LoggedNumbers(ReadAll(m_dir.filePath("write.txt"))), QList<qint64>{301});
        QCOMPARE(GetSettingString("Settings", "CustomerNr", ""), QString("302"));
        Click(1007);
        QCOMPARE(watcher.Dialogs(), QStringList{"Fehleranzeige"});
    }

    void everyChipTypeIsVerifiedAfterWriting_data() {
        QTest::addColumn<int>("chipType");
        for (int chipType : {3, 9, 11, 12, 17})
            QTest::newRow(qPrintable(QString::number(chipType))) << chipType;
    }
    void everyChipTypeIsVerifiedAfterWriting() {
        QFETCH(int, chipType);
        PutSettingInt("Settings", "TransponderTyp", chipType);
        m_reader->Place(chipType);
        Open();
        SetCustomer("2024");
        Click(1006);
        QCOMPARE(m_dlg->m_strStatus,
                 kWriteDone + ": 26 Bit, Einrichtung 255, Nummer 2024, geprüft");
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 255, 2024, 0));
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

    // The M2's configuration byte: its upper four bits protect the chip, its lower four
    // choose what it sends. A protected chip is recognised before any write (no failure
    // signal); a writable one is written whatever it sends.
    void m2WriteProtectionIsTheConfigurationsUpperBits_data() {
        QTest::addColumn<uint>("configuration");
        QTest::addColumn<bool>("writable");
        QTest::newRow("protected, locked FSK") << 0x6Au << false;
        QTest::newRow("protected, upper bits only") << 0x50u << false;
        QTest::newRow("protected, both nibbles") << 0xAAu << false;
        QTest::newRow("writable, FSK") << 0x0Au << true;
        QTest::newRow("writable, other mode") << 0x05u << true;
    }
    void m2WriteProtectionIsTheConfigurationsUpperBits() {
        QFETCH(uint, configuration);
        QFETCH(bool, writable);
        Engine().PlaceTransponder(vsim::MakeConfiguredChip(11, configuration));
        PutSettingInt("Settings", "TransponderTyp", 11);
        Open();
        SetCustomer("4711");
        Find<QLineEdit>(*m_dlg, 1004)->setText("12");
        Click(1006);
        if (writable) {
            QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 12, 4711, 0));
            QCOMPARE(m_signals.calls.size(), 1);
        } else {
            QCOMPARE(m_dlg->m_strStatus, QString("Der Transponder ist schreibgeschützt"));
            QVERIFY(m_signals.calls.isEmpty());
        }
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

    void seriesEndSaysOneTransponderInEnglish() {
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(ORVEX_QM_FILE)));
        QCoreApplication::installTranslator(&english);
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({9, 1, 0ms}));
        Open();
        SetCustomer("7");
        Click(1019);
        Find<QLineEdit>(*m_dlg, 1040)->setText("1");
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        const QString status = m_dlg->m_strStatus;
        QCoreApplication::removeTranslator(&english);
        QCOMPARE(status, QString("Series finished: 1 transponder written"));
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1026)->toolTip(), status);
    }

    void errorListAppearsWhereItsFailuresHappen_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("pendingBefore");  // a list left from before, else a log failure
        QTest::newRow("write once, its log failed") << 1006 << false;
        QTest::newRow("read once, its log failed") << 1001 << false;
        QTest::newRow("series start, list pending") << 1007 << true;
        QTest::newRow("cyclic read start, list pending") << 1002 << true;
    }
    void errorListAppearsWhereItsFailuresHappen() {
        QFETCH(int, button);
        QFETCH(bool, pendingBefore);
        if (!pendingBefore) {
            // A folder in place of the log file cannot be opened, not even by root.
            const QString path = m_dir.filePath("log-is-a-folder");
            QDir().mkpath(path);
            PutSettingString("Protokoll", "WriteLogFileName", path);
            PutSettingString("Protokoll", "ReadLogFileName", path);
            PutSettingInt("Protokoll", "ReadLogEnable", 1);
        }
        Engine().PlaceTransponder(vsim::MakeCardChip(9, vellf::EncodeCardWord(26, 1, 2, 0)));
        Open();
        const QString pending = "Nicht protokolliert: 26 Bit, Einrichtung 1, Nummer 1\r\n";
        if (pendingBefore) m_dlg->m_strErrorLog = pending;
        apptest::ModalWatcher watcher;
        QStringList shown;
        watcher.SetDialogHandler([&shown](QDialog* dialog) {
            shown << ControlById<QPlainTextEdit>(dialog, 1023)->toPlainText();
            dialog->accept();
            return true;
        });
        Click(button);
        // Shown by the click itself, not at some later command.
        QCOMPARE(watcher.Dialogs(), QStringList{"Fehleranzeige"});
        QVERIFY(m_dlg->m_strErrorLog.isEmpty());
        if (pendingBefore) {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().trimmed(), pending.trimmed());
            QVERIFY(m_dlg->m_nWriteTimer != 0 || m_dlg->m_nReadTimer != 0);  // and then it runs
            Click(button);
        } else {
            QVERIFY2(shown.first().contains("Open Error:"), qPrintable(shown.first()));
        }
    }

    void languageSwitchDuringASeriesReportsItsEndInTheNextWindow() {
        m_reader->Place(9);
        Open();
        Click(1007);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 5000);
        MenuAction(*m_dlg, COrvexFSKDlg::IDM_ENGLISH)->trigger();
        QCOMPARE(m_dlg->result(), int(COrvexFSKDlg::kEndLanguageChanged));
        m_dlg.reset();

        QTranslator english;
        QVERIFY(english.load(QStringLiteral(ORVEX_QM_FILE)));
        QCoreApplication::installTranslator(&english);
        auto removeEnglish = qScopeGuard([&english] { QCoreApplication::removeTranslator(&english); });
        Open();
        QCOMPARE(m_dlg->m_strStatus, QString("Series finished: 1 transponder written"));
        // A window opened later, without a series ended, starts with the register's place.
        m_dlg.reset();
        Open();
        QVERIFY2(m_dlg->m_strStatus.startsWith(QStringLiteral("Card register: ")),
                 qPrintable(m_dlg->m_strStatus));
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
        QCOMPARE(m_dlg->m_strStatus,
                 QString("Serie beendet: %1 Transponder geschrieben").arg(written));
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
        // The register would refuse the chip that comes back, since it carries card 500.
        PutSettingString("Register", "Enabled", "0");
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
        Engine().FailCommand(0xC3, 1000, 0x05);
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.calls.size() >= 4, 10000);
        QCOMPARE(m_dlg->m_strStatus, QString("Der Transponder ist schreibgeschützt - Transponder "
                                             "wegnehmen und erneut auflegen"));
        // The red lamp flashes while the failed chip lies there, told apart from waiting.
        auto* red = Find<CBitmapStatic>(*m_dlg, 1047);
        const QImage first = red->Bitmap().toImage();
        QTRY_VERIFY_WITH_TIMEOUT(red->Bitmap().toImage() != first, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(red->Bitmap().toImage() == first, 2000);
        // Taken away, it stays red while the series waits.
        m_reader->Remove();
        QTest::qWait(1000);
        const QImage waiting = red->Bitmap().toImage();
        QTest::qWait(500);
        QCOMPARE(red->Bitmap().toImage(), waiting);
        Click(1007);
        QCOMPARE(m_signals.calls, kFailureTones);
        QCOMPARE(m_dlg->m_nCount, 0);
        QCOMPARE(m_dlg->m_strStatus, QString("Serie beendet: 0 Transponder geschrieben"));
    }

    void failedWriteSaysWhy_data() {
        QTest::addColumn<int>("status");  // -1: the reader does not answer the write
        QTest::addColumn<QString>("message");
        // The number after the failure: every row's block command went out, so whatever the
        // reader answered the chip may carry the number: it stays held as unverified and the
        // field goes on (only a write refused before its first block keeps its number free,
        // as the password chip below shows).
        QTest::addColumn<QString>("next");
        QTest::newRow("write-protected") << 0x05 << "Der Transponder ist schreibgeschützt" << "6";
        QTest::newRow("locked") << 0x0B << "Der Transponder ist gesperrt" << "6";
        QTest::newRow("chip there but no write answered")
            << 0x04
            << "Transponder erkannt, aber nicht beschreibbar (Passwort oder fremde "
               "Konfiguration)"
            << "6";
        QTest::newRow("other") << 0x30 << "Fehler beim Schreiben (48)" << "6";
        QTest::newRow("reader silent") << -1 << "Das Lesegerät antwortet nicht" << "6";
    }
    void failedWriteSaysWhy() {
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(QString, next);
        m_reader->Place(9);
        Open();
        if (status < 0)
            Engine().TimeOutCommand(0xC3, 1000);
        else
            Engine().FailCommand(0xC3, 1000, static_cast<uint8_t>(status));
        SetCustomer("5");
        Click(1006);
        QCOMPARE(m_dlg->m_strStatus, message);
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), next);
        QVERIFY(ReadAll(m_dir.filePath("write.txt")).isEmpty());
        // A station ended now starts with the number the field shows.
        QTRY_COMPARE(GetSettingString("Settings", "CustomerNr", ""), next);
    }

    void silentReaderIsReportedWithinOneTick() {
        Open();
        Click(1007);
        QTest::qWait(150);
        Engine().SetSilent(true);
        // One tick (40 ms) plus one reply time-out (300 ms).
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_strStatus, QString("Das Lesegerät antwortet nicht"),
                                  700);
        Engine().SetSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_strStatus, QString(), 2000);
        Click(1007);
    }

    void passwordChipIsNamedAndTheNextChipGetsItsNumber() {
        Engine().PlaceTransponder(vsim::MakePasswordChip(9, vellf::EncodeCardWord(26, 7, 7, 0)));
        Open();
        SetCustomer("400");
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.calls.size() >= 4, 5000);
        QCOMPARE(m_signals.calls, kFailureTones);
        QCOMPARE(m_dlg->m_strStatus,
                 QString("Transponder erkannt, aber nicht beschreibbar (Passwort oder fremde "
                         "Konfiguration) - Transponder wegnehmen und erneut auflegen"));
        m_reader->Remove();
        m_reader->Place(9);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 5000);
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 255, 400, 0));
        QCOMPARE(LoggedNumbers(ReadAll(m_dir.filePath("write.txt"))), QList<qint64>{400});
        Click(1007);
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
        bool readOnly = false;
        watcher.SetDialogHandler([&shownLog, &readOnly](QDialog* dialog) {
            if (auto* view = qobject_cast<QPlainTextEdit*>(ControlById(dialog, 1023))) {
                shownLog = view->toPlainText();
                readOnly = view->isReadOnly();
            } else if (auto* edit = qobject_cast<QTextEdit*>(ControlById(dialog, 1023)))
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
        // The card itself, for the operator to record by hand.
        QVERIFY2(
            shownLog.contains("Nicht protokolliert: 26 Bit, Einrichtung 255, Nummer 0, ATA5577 " +
                              m_dlg->m_strUid + ", "),
            qPrintable(shownLog));
        QVERIFY(readOnly);
        QVERIFY(m_dlg->m_strErrorLog.isEmpty());
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--series-child") == 0) return RunSeriesChild(argc, argv);
    apptest::PrepareEnvironment();
    QApplication app(argc, argv);
    WriteRunsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_writeruns.moc"
