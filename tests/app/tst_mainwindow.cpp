// The main window against a virtual reader: input validation per card format, enabling,
// the menu, what OK and Cancel store, and how it connects to readers of several versions.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabBar>
#include <QTimer>
#include <QTranslator>
#include <functional>
#include <memory>

#include "ControlId.h"
#include "OrvexFSKDlg.h"
#include "Settings.h"
#include "StringTable.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"
#include "support/AppTest.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"
#include "vellf.h"
#include "widgets/StatusLine.h"

namespace {

using apptest::Find;

// Children of this process that have ended but were never waited for.
int DefunctChildren() {
    int count = 0;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (name) state ppid ...": the name may hold blanks, so count from its end.
        const QString line = QString::fromLatin1(stat.readAll());
        const QStringList fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self && fields[0] == "Z") ++count;
    }
    return count;
}
using apptest::SelectFormat;

QStringList MenuTexts(const COrvexFSKDlg& dlg) {
    QStringList texts;
    for (QAction* action : dlg.SystemMenu()->actions()) {
        if (!action->isSeparator()) texts << action->text();
    }
    return texts;
}

QAction* MenuAction(const COrvexFSKDlg& dlg, int command) {
    for (QAction* action : dlg.SystemMenu()->actions()) {
        if (action->data().toInt() == command) return action;
    }
    return nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<apptest::StationReader> m_reader;

    static std::unique_ptr<COrvexFSKDlg> OpenWindow() { return apptest::OpenStationWindow(); }

  private Q_SLOTS:
    void init() {
        apptest::ClearSettings();
        PutSettingInt("Settings", "SoundTyp", 0);
        m_reader = std::make_unique<apptest::StationReader>("243c");
    }
    void cleanup() { m_reader.reset(); }

    void enterInANumberFieldMovesOnAndStartsNothing() {
        m_reader->Engine().PlaceTransponder(
            vsim::MakeCardChip(9, vellf::EncodeCardWord(26, 1, 2, 0)));
        auto dlg = OpenWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        auto* customer = Find<QLineEdit>(*dlg, 1005);
        customer->setFocus();
        customer->selectAll();
        QTest::keyClicks(customer, "9500");
        QTest::keyClick(customer, Qt::Key_Return);
        QCOMPARE(customer->text(), QString("9500"));
        QCOMPARE(Find<QLineEdit>(*dlg, 1016)->text(), QString());  // nothing was read
        QVERIFY(QApplication::focusWidget() != customer);
        QVERIFY(!Find<QPushButton>(*dlg, 1001)->isDefault());
        QVERIFY(dlg->isVisible());
    }

    void enterEscapeAndCloseInEachRunState_data() {
        QTest::addColumn<int>("toggle");  // the run's toggle, 0: no run
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("stillOpen");
        QTest::addColumn<bool>("stillRunning");
        for (const auto& [toggle, run] : {std::pair{0, "idle"}, std::pair{1002, "reading"},
                                          std::pair{1007, "writing"}}) {
            const bool running = toggle != 0;
            QTest::addRow("%s, Enter", run) << toggle << "enter" << true << running;
            QTest::addRow("%s, Escape", run) << toggle << "escape" << true << false;
            // "Schließen" is disabled while a run goes on; the close box stops the run.
            QTest::addRow("%s, Schliessen", run) << toggle << "button" << running << running;
            QTest::addRow("%s, close box", run) << toggle << "box" << false << false;
        }
    }
    void enterEscapeAndCloseInEachRunState() {
        QFETCH(int, toggle);
        QFETCH(QString, action);
        QFETCH(bool, stillOpen);
        QFETCH(bool, stillRunning);
        apptest::ModalWatcher watcher;
        PutSettingInt("Settings", "ZyklusZeit", 40);
        auto dlg = OpenWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        Find<QLineEdit>(*dlg, 1005)->setText("321");
        if (toggle != 0) QTest::mouseClick(Find<QPushButton>(*dlg, toggle), Qt::LeftButton);
        QTest::qWait(100);
        QWidget* focus = QApplication::focusWidget() != nullptr ? QApplication::focusWidget()
                                                                : dlg.get();
        if (action == "enter") QTest::keyClick(focus, Qt::Key_Return);
        if (action == "escape") QTest::keyClick(focus, Qt::Key_Escape);
        if (action == "button") QTest::mouseClick(Find<QPushButton>(*dlg, 2), Qt::LeftButton);
        if (action == "box") dlg->close();
        QTest::qWait(100);
        QCOMPARE(dlg->isVisible(), stillOpen);
        QCOMPARE(dlg->m_nReadTimer != 0 || dlg->m_nWriteTimer != 0, stillRunning);
        if (toggle != 0) QCOMPARE(Find<QPushButton>(*dlg, toggle)->isChecked(), stillRunning);
        QVERIFY(watcher.Messages().isEmpty());
    }

    void statusLineKeepsTheDecidingWordsOfTheLongestMessagesInView() {
        auto dlg = OpenWindow();
        auto* line = Find<CStatusLine>(*dlg, 1026);
        const QString settings = "/home/operator/.config/Qor Applikationen/Orvex-FSK.ini";
        const QString reason = "Cannot open the card register /srv/register/cards.sqlite: the "
                               "folder /srv/register cannot be created";
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(ORVEX_QM_FILE)));
        int elided = 0;
        for (const bool inEnglish : {false, true}) {
            if (inEnglish) QCoreApplication::installTranslator(&english);
            const QString layAgain = " - " + LoadString(11114);
            // The longest text of each kind the runs show, and the words that must be seen.
            const QList<std::pair<QString, QString>> messages{
                {LoadString(119) + ": " + LoadString(11111).arg("37 Bit Huge", "34359738367") +
                     ", " + LoadString(11112),
                 inEnglish ? "Write operation completed successfully"
                           : "Schreibvorgang erfolgreich abgeschlossen"},
                {LoadString(11300) + ": " + LoadString(11110).arg("34 Bit NC").arg(65535).arg(65535),
                 inEnglish ? "Read operation completed successfully"
                           : "Lesevorgang erfolgreich abgeschlossen"},
                {LoadString(11109) + layAgain,
                 inEnglish ? "Verification failed" : "Prüfung fehlgeschlagen"},
                {LoadString(11106) + layAgain,
                 inEnglish ? "Transponder found but not writable"
                           : "Transponder erkannt, aber nicht beschreibbar"},
                {LoadString(11116).arg(settings),
                 inEnglish ? "The next number cannot be stored"
                           : "Die nächste Nummer kann nicht gespeichert werden"},
                {LoadString(11123).arg(reason),
                 inEnglish ? "The card register cannot record" : "Kartenregister kann nicht schreiben"},
            };
            for (const auto& [message, words] : messages) {
                dlg->ShowStatusText(message);
                const QString shown = line->ShownText();
                QVERIFY2(shown.startsWith(words), qPrintable(shown + " | " + message));
                QCOMPARE(line->text(), message);  // whole, for copying and the tooltip
                QCOMPARE(line->toolTip(), message);
                if (shown != message) {
                    QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
                    ++elided;
                }
            }
            if (inEnglish) QCoreApplication::removeTranslator(&english);
        }
        QVERIFY(elided > 0);
    }

    void manualWithoutAWorkingViewerIsSaidAndLeavesNoDefunctChild_data() {
        QTest::addColumn<QString>("opener");  // the desktop opener's script, empty: none
        QTest::addColumn<bool>("told");
        QTest::newRow("no opener") << "" << true;
        QTest::newRow("opener finds no viewer") << "exit 3" << true;
        QTest::newRow("viewer opens it") << "echo \"$1\" >>\"$0.opened\"" << false;
    }
    void manualWithoutAWorkingViewerIsSaidAndLeavesNoDefunctChild() {
        QFETCH(QString, opener);
        QFETCH(bool, told);
        const QString manual =
            QDir(QCoreApplication::applicationDirPath()).filePath("zz_mainwindow_manual.pdf");
        QFile pdf(manual);
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.close();
        QTemporaryDir bin;
        const QString script = bin.filePath("xdg-open");
        if (!opener.isEmpty()) {
            QFile file(script);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(("#!/bin/sh\n" + opener + "\n").toUtf8());
            file.close();
            file.setPermissions(file.permissions() | QFile::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        const auto restore = qScopeGuard([&path, &manual] {
            qputenv("PATH", path);
            QFile::remove(manual);
        });
        auto dlg = OpenWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        apptest::ModalWatcher watcher;
        const QString noViewer = LoadString(10001);
        // F1, then the menu's entry.
        QTest::keyClick(dlg.get(), Qt::Key_F1);
        if (told) QTRY_COMPARE(watcher.Messages(), QStringList{noViewer});
        MenuAction(*dlg, COrvexFSKDlg::IDM_MANUAL)->trigger();
        if (told) QTRY_COMPARE(watcher.Messages(), (QStringList{noViewer, noViewer}));
        const auto opened = [&script] {
            QFile file(script + ".opened");
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        if (!told) QTRY_COMPARE(opened(), manual + '\n' + manual + '\n');
        QTest::qWait(200);
        QCOMPARE(watcher.Messages().size(), told ? 2 : 0);
        QTRY_COMPARE(DefunctChildren(), 0);
    }

    void mainControlsHaveShortTooltipsInBothLanguages() {
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(ORVEX_QM_FILE)));
        QList<QStringList> tips;
        for (const bool inEnglish : {false, true}) {
            if (inEnglish) QCoreApplication::installTranslator(&english);
            auto dlg = OpenWindow();
            QStringList shown;
            for (const int id : {1021, 1016, 1008, 1004, 1005, 1009, 1012, 1020, 1061, 1019, 1042,
                                 1001, 1002, 1006, 1007, 1151, 1147, 1153, 1148, 2})
                shown << Find<QWidget>(*dlg, id)->toolTip();
            shown << dlg->findChild<QWidget*>("systemMenuButton")->toolTip();
            if (inEnglish) QCoreApplication::removeTranslator(&english);
            for (const QString& tip : shown)
                QVERIFY2(!tip.isEmpty() && tip.size() <= 90, qPrintable(shown.join(" | ")));
            tips << shown;
        }
        for (qsizetype i = 0; i < tips[0].size(); ++i)
            QVERIFY2(tips[0][i] != tips[1][i], qPrintable(tips[0][i]));  // translated
    }

    void validatesFieldsPerFormat_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("facility");
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("fixed");
        QTest::addColumn<QString>("message");
        QTest::newRow("26 bit number too large") << 0 << "1"
                                                 << "65536"
                                                 << "0"
                                                 << "Es sind nur Werte bis 65535 erlaubt!";
        QTest::newRow("26 bit huge takes it") << 1 << "1"
                                              << "65536"
                                              << "0"
                                              << "";
        QTest::newRow("36 bit facility 300") << 5 << "300"
                                             << "1"
                                             << "0"
                                             << "Geben Sie eine ganze Zahl zwischen 0 und 255 ein.";
        QTest::newRow("no facility, no range") << 1 << "300"
                                               << "1"
                                               << "0"
                                               << "";
        QTest::newRow("36 bit fixed 1024") << 5 << "1"
                                           << "1"
                                           << "1024"
                                           << "Geben Sie eine ganze Zahl zwischen 0 und 1023 ein.";
        QTest::newRow("37 bit huge beyond 35 bits") << 7 << "0"
                                                    << "34359738368"
                                                    << "0"
                                                    << "Es sind nur Werte bis 34359738367 erlaubt!";
        QTest::newRow("37 bit huge at 35 bits") << 7 << "0"
                                                << "34359738367"
                                                << "0"
                                                << "";
    }
    void validatesFieldsPerFormat() {
        QFETCH(int, format);
        QFETCH(QString, facility);
        QFETCH(QString, customer);
        QFETCH(QString, fixed);
        QFETCH(QString, message);
        auto dlg = OpenWindow();
        apptest::ModalWatcher watcher;
        SelectFormat(*dlg, format);
        Find<QLineEdit>(*dlg, 1004)->setText(facility);
        Find<QLineEdit>(*dlg, 1005)->setText(customer);
        Find<QLineEdit>(*dlg, 1009)->setText(fixed);
        QCOMPARE(dlg->ExchangeData(true), message.isEmpty());
        QCOMPARE(watcher.Messages(), message.isEmpty() ? QStringList{} : QStringList{message});
    }

    void writeIsRefusedBeforeTheReaderIsAskedButReadIsNot() {
        auto dlg = OpenWindow();
        apptest::ModalWatcher watcher;
        SelectFormat(*dlg, 0);
        Find<QLineEdit>(*dlg, 1005)->setText("99999999999");
        m_reader->Engine().ClearRequests();
        QTest::mouseClick(Find<QPushButton>(*dlg, 1006), Qt::LeftButton);
        QCOMPARE(watcher.Messages(), QStringList{"Es sind nur Werte bis 65535 erlaubt!"});
        QVERIFY(m_reader->Engine().Requests().empty());
        QCOMPARE(dlg->focusWidget(), Find<QLineEdit>(*dlg, 1005));

        watcher.Clear();
        QTest::mouseClick(Find<QPushButton>(*dlg, 1001), Qt::LeftButton);
        QVERIFY(watcher.Messages().isEmpty());
        QVERIFY(!m_reader->Engine().Requests().empty());
    }

    void showsFacilityAndFixedFieldByFormat() {
        auto dlg = OpenWindow();
        for (int format = 0; format < 8; ++format) {
            SelectFormat(*dlg, format);
            QCOMPARE(Find<QLineEdit>(*dlg, 1009)->isVisible(), format == 5);
            QCOMPARE(Find<QLabel>(*dlg, 1027)->isVisible(), format == 5);
            const bool facility = format != 1 && format != 7;
            QCOMPARE(Find<QLineEdit>(*dlg, 1004)->isVisible(), facility);
            QCOMPARE(Find<QLabel>(*dlg, 1024)->isVisible(), facility);
        }
    }

    void emptyStopCountRefusesEveryExchangeYetCancelStoresAndCloses() {
        PutSettingString("Settings", "CustomerNr", "500");
        auto dlg = OpenWindow();
        apptest::ModalWatcher watcher;
        SelectFormat(*dlg, 3);
        Find<QLineEdit>(*dlg, 1040)->clear();
        Find<QLineEdit>(*dlg, 1005)->setText("777");
        dlg->m_bValidate = false;
        QVERIFY(!dlg->ExchangeData(true));
        dlg->m_bValidate = true;
        QCOMPARE(watcher.Messages(), QStringList{"Geben Sie eine ganze Zahl ein."});

        watcher.Clear();
        QTest::mouseClick(Find<QPushButton>(*dlg, 2), Qt::LeftButton);
        QCOMPARE(watcher.Messages(), QStringList{"Geben Sie eine ganze Zahl ein."});
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        // The format comes before the stop count and is stored; the number after it is not.
        QCOMPARE(GetSettingInt("Settings", "Typ", -1), 3);
        QCOMPARE(GetSettingString("Settings", "CustomerNr", ""), QString("500"));
    }

    void okStoresTheListedValuesOnly() {
        auto dlg = OpenWindow();
        SelectFormat(*dlg, 5);
        Find<QLineEdit>(*dlg, 1004)->setText("12");
        Find<QLineEdit>(*dlg, 1005)->setText("4711");
        Find<QLineEdit>(*dlg, 1009)->setText("33");
        Find<QCheckBox>(*dlg, 1153)->setChecked(true);
        Find<QCheckBox>(*dlg, 1020)->setChecked(true);
        dlg->accept();
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(GetSettingInt("Settings", "Typ", -1), 5);
        QCOMPARE(GetSettingInt("Settings", "FacilityCode", -1), 12);
        QCOMPARE(GetSettingString("Settings", "CustomerNr", ""), QString("4711"));
        QCOMPARE(GetSettingInt("Settings", "FixedField", -1), 33);
        QCOMPARE(GetSettingInt("Protokoll", "ReadLogEnable", -1), 1);
        QCOMPARE(GetSettingInt("Settings", "TransponderTyp", -1), 9);
        QCOMPARE(GetSettingInt("Settings", "Sperren", -1), -1);
    }

    void stopConditionsExcludeEachOther() {
        auto dlg = OpenWindow();
        auto* atCount = Find<QCheckBox>(*dlg, 1019);
        auto* atEnd = Find<QCheckBox>(*dlg, 1042);
        QVERIFY(atEnd->isEnabled());  // auto increment is on by default
        QTest::mouseClick(atCount, Qt::LeftButton);
        QVERIFY(atCount->isChecked() && Find<QLineEdit>(*dlg, 1040)->isEnabled());
        QTest::mouseClick(atEnd, Qt::LeftButton);
        QVERIFY(atEnd->isChecked() && !atCount->isChecked());
        QVERIFY(Find<QLineEdit>(*dlg, 1043)->isEnabled());
        QVERIFY(!Find<QLineEdit>(*dlg, 1040)->isEnabled());
        QTest::mouseClick(atCount, Qt::LeftButton);
        QVERIFY(atCount->isChecked() && !atEnd->isChecked());
        QVERIFY(!Find<QLineEdit>(*dlg, 1043)->isEnabled());

        // Without auto increment there is no end value to stop at.
        QTest::mouseClick(Find<QCheckBox>(*dlg, 1012), Qt::LeftButton);
        QVERIFY(!atEnd->isEnabled());
    }

    void menuOffersTheOtherLanguages_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("items");
        const QString head =
            "Schnittstelle...,IP-Adresse...,Einstellungen...,Kartenregister,Karteninhaber,Kartenregister-Einstellungen...,";
        const QString about = ",Handbuch,Inf&o über Orvex FSK Programmer";
        // Each language in its own words.
        QTest::newRow("German") << 0 << (head + "English" + about).split(',');
        QTest::newRow("English") << 1 << (head + "Deutsch" + about).split(',');
        QTest::newRow("other") << 7 << (head + "Deutsch,English" + about).split(',');
    }
    void menuOffersTheOtherLanguages() {
        QFETCH(int, language);
        QFETCH(QStringList, items);
        PutSettingInt("Settings", "Sprache", language);
        auto dlg = OpenWindow();
        QCOMPARE(MenuTexts(*dlg), items);
        // A serial reader has no network settings to change.
        QVERIFY(!MenuAction(*dlg, COrvexFSKDlg::IDM_LANCONFIG)->isEnabled());
    }

    void languageCommandStoresTheFieldsAndEndsTheWindowWithCode10() {
        auto dlg = OpenWindow();
        // The next window reads the number from the settings: it must be the one shown.
        Find<QLineEdit>(*dlg, 1005)->setText("4711");
        dlg->OnSystemCommand(COrvexFSKDlg::IDM_ENGLISH);
        QCOMPARE(dlg->result(), COrvexFSKDlg::kEndLanguageChanged);
        QCOMPARE(GetSettingInt("Settings", "Sprache", -1), 1);
        QCOMPARE(GetSettingString("Settings", "CustomerNr", "none"), QString("4711"));
    }

    void storedValuesOutOfRangeCountAsDefaults() {
        // A format or chip the window does not offer used to write nothing and report
        // success; a number no format holds could overflow when raised.
        PutSettingInt("Settings", "Typ", 9);
        PutSettingInt("Settings", "TransponderTyp", 4);
        PutSettingString("Settings", "CustomerNr", "99999999999999999999");
        PutSettingInt("Settings", "FacilityCode", 70000);
        m_reader->Place(9);
        auto dlg = OpenWindow();
        QCOMPARE(Find<QComboBox>(*dlg, 1008)->currentIndex(), 0);
        auto* tabs = Find<QTabBar>(*dlg, 1021);
        QCOMPARE(tabs->tabData(tabs->currentIndex()).toInt(), 9);
        QCOMPARE(Find<QLineEdit>(*dlg, 1005)->text(), QString("0"));
        QCOMPARE(Find<QLineEdit>(*dlg, 1004)->text(), QString("255"));
        QTest::mouseClick(Find<QPushButton>(*dlg, 1006), Qt::LeftButton);
        QVERIFY2(dlg->m_strStatus.startsWith("Schreibvorgang erfolgreich abgeschlossen"),
                 qPrintable(dlg->m_strStatus));
        QCOMPARE(m_reader->Engine().FieldSnapshot()->cardWord,
                 vellf::EncodeCardWord(26, 255, 0, 0));
    }

    void cancelInTheInterfaceDialogKeepsTheReader() {
        auto dlg = OpenWindow();
        const QString title = dlg->windowTitle();
        apptest::ModalWatcher watcher;  // cancels the interface dialog
        dlg->OnSystemCommand(COrvexFSKDlg::IDM_INTERFACE);
        QCOMPARE(watcher.Dialogs(), QStringList{"Schnittstelle"});
        QVERIFY(watcher.Messages().isEmpty());
        QVERIFY(dlg->m_hPort > 0);
        QCOMPARE(dlg->windowTitle(), title);
        m_reader->Place(9);
        QTest::mouseClick(Find<QPushButton>(*dlg, 1006), Qt::LeftButton);
        QVERIFY2(dlg->m_strStatus.startsWith("Schreibvorgang erfolgreich abgeschlossen"),
                 qPrintable(dlg->m_strStatus));
    }

    void runsWithoutAReaderAreRefused() {
        auto dlg = OpenWindow();
        apptest::ModalWatcher watcher;
        // The reader is gone when the operator cancels: the station cannot go back to it.
        m_reader.reset();
        dlg->OnSystemCommand(COrvexFSKDlg::IDM_INTERFACE);
        QCOMPARE(dlg->m_hPort, 0);
        watcher.Clear();
        for (int button : {1006, 1007, 1001, 1002}) {
            QTest::mouseClick(Find<QPushButton>(*dlg, button), Qt::LeftButton);
            QTRY_COMPARE(watcher.Messages().size(), 1);
            QCOMPARE(watcher.Messages().first(),
                     QString("Kein Lesegerät verbunden. Wählen Sie die Schnittstelle im Menü."));
            QVERIFY(!Find<QPushButton>(*dlg, button)->isChecked());
            QCOMPARE(dlg->m_nWriteTimer + dlg->m_nReadTimer, 0);
            watcher.Clear();
        }
    }

    void defaultLogPathsAreWrittenBack() {
        COrvexFSKDlg dlg;
        const QString dir = QCoreApplication::applicationDirPath() + "/";
        QCOMPARE(GetSettingString("Protokoll", "ReadLogFileName", ""), dir + "Protokoll_L.txt");
        QCOMPARE(GetSettingString("Protokoll", "WriteLogFileName", ""), dir + "Protokoll_S.txt");
        QCOMPARE(dlg.m_strReadLogFile, dir + "Protokoll_L.txt");
    }

    void titleShowsProgramAndFirmwareVersion_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("firmware");
        QTest::newRow("2434") << "2434"
                              << "FW V1.04";
        QTest::newRow("053z") << "053z"
                              << "FW V1.61";
        QTest::newRow("243c") << "243c"
                              << "FW V1.38";
    }
    void titleShowsProgramAndFirmwareVersion() {
        QFETCH(QString, version);
        QFETCH(QString, firmware);
        m_reader = std::make_unique<apptest::StationReader>(version.toStdString());
        apptest::ModalWatcher watcher;
        auto dlg = OpenWindow();
        QVERIFY(watcher.Messages().isEmpty());
        QVERIFY(dlg->m_hPort > 0);
        QCOMPARE(dlg->m_strVersion, version);
        QVERIFY2(dlg->windowTitle().startsWith("Orvex FSK Programmer V"),
                 qPrintable(dlg->windowTitle()));
        QVERIFY2(dlg->windowTitle().endsWith("  " + firmware + ">"),
                 qPrintable(dlg->windowTitle()));
        QVERIFY(dlg->windowTitle().contains("<" + dlg->m_strDeviceText + "  "));
        QVERIFY(!dlg->m_strDeviceText.isEmpty());
    }

    void readerAnsweringOnlyAt9600ConnectsSilently() {
        m_reader->Engine().SetBaudOnly(9600);
        apptest::ModalWatcher watcher;
        auto dlg = OpenWindow();
        QVERIFY(dlg->m_hPort > 0);
        QVERIFY(watcher.Messages().isEmpty());
        QVERIFY(watcher.Dialogs().isEmpty());
    }

    void unsupportedReaderIsNamedAndClosed() {
        m_reader = std::make_unique<apptest::StationReader>("0575");
        apptest::ModalWatcher watcher;  // rejects the interface dialog that follows
        COrvexFSKDlg dlg;
        QVERIFY(!dlg.ConnectReader(true));
        QCOMPARE(watcher.Messages().size(), 1);
        QVERIFY2(watcher.Messages().first().startsWith("Achtung: Der Gerätetyp <"),
                 qPrintable(watcher.Messages().first()));
        QVERIFY(watcher.Messages().first().endsWith("> wird nicht unterstützt!"));
        QCOMPARE(watcher.Dialogs(), QStringList{"Schnittstelle"});
        QCOMPARE(dlg.m_hPort, 0);
        QVERIFY(dlg.m_strVersion.isEmpty() && dlg.m_strDeviceText.isEmpty());
        // The line is free again: the station's handle was closed.
        const int again = LfOpenPort(m_reader->Path().c_str(), 19200, 0, 300);
        QVERIFY(again > 0);
        LfClosePort(again);
    }

    void interfaceCommandReconnectsThroughTheDialog() {
        auto dlg = OpenWindow();
        apptest::ModalWatcher watcher;
        // The reader's line is a path the port list does not enumerate; the dialog still
        // offers and selects it, so OK keeps it.
        watcher.SetDialogHandler([](QDialog* dialog) {
            QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
            return true;
        });
        dlg->OnSystemCommand(COrvexFSKDlg::IDM_INTERFACE);
        QCOMPARE(watcher.Dialogs(), QStringList{"Schnittstelle"});
        QVERIFY(watcher.Messages().isEmpty());
        QVERIFY(dlg->m_hPort > 0);
        QCOMPARE(GetSettingString("Port", "Name", ""), QString::fromStdString(m_reader->Path()));
        QCOMPARE(Find<QTabBar>(*dlg, 1021)->count(), 5);
    }

    void signalSettingsAreReadAgainAfterOk() {
        auto dlg = OpenWindow();
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([](QDialog* dialog) {
            ControlById<QLineEdit>(dialog, 1003)->setText("500");
            QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
            return true;
        });
        dlg->OnSystemCommand(COrvexFSKDlg::IDM_SETTINGS);
        QCOMPARE(watcher.Messages(), QStringList{});
        QCOMPARE(GetSettingInt("Settings", "ZyklusZeit", 0), 500);
        QCOMPARE(dlg->m_nCycleTime, 500);
    }

    // The first start with a silent line: the window is up before the connection is tried,
    // the message names the line, and cancelling the interface choice leaves the station
    // open without a reader, where runs are refused, until the operator closes it.
    void cancelAtTheFirstStartKeepsTheStationOpen() {
        m_reader->Engine().SetSilent(true);
        PutSettingInt("Port", "Timeout", 50);
        COrvexFSKDlg dlg;
        bool shownAtChoice = false;
        bool choiceCancelled = false;
        bool closedByTest = false;
        std::function<void()> clickWhenIdle;
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([&](QDialog* dialog) {
            if (dialog != &dlg) {
                shownAtChoice = dlg.isVisible();
                choiceCancelled = true;
            }
            // The station is an ordinary window, not modal: its clicks follow the choice.
            if (choiceCancelled && !closedByTest) {
                closedByTest = true;
                // Once the station is idle: a click while it waits for the register (whose
                // wait keeps the window's events going) is refused as busy.
                clickWhenIdle = [&dlg, &clickWhenIdle] {
                    if (dlg.IsBusy()) {
                        QTimer::singleShot(10, &dlg, clickWhenIdle);
                        return;
                    }
                    QTest::mouseClick(Find<QPushButton>(dlg, 1006), Qt::LeftButton);
                    QTest::mouseClick(Find<QPushButton>(dlg, 2), Qt::LeftButton);
                };
                QTimer::singleShot(0, &dlg, clickWhenIdle);
            }
            return dialog == &dlg;
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(shownAtChoice);
        QVERIFY(closedByTest);
        QCOMPARE(dlg.m_hPort, 0);
        const QString line = QString::fromStdString(m_reader->Path());
        QCOMPARE(watcher.Messages(),
                 QStringList({"Gerät meldet sich nicht\nSchnittstelle: " + line,
                              "Kein Lesegerät verbunden. Wählen Sie die Schnittstelle im Menü."}));
        QVERIFY(watcher.Dialogs().contains("Schnittstelle"));
        // The fields are stored as shown.
        QCOMPARE(GetSettingInt("Settings", "TransponderTyp", -1), 9);
    }
};

ORVEX_APP_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
