// Start-up of the station: the language choice on the first start, loading and freeing the
// English language file around the main-window loop, and opening the manual. The main
// window is replaced by a runner that records what each window would have shown.
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QPushButton>
#include <QSettings>

#include "ControlId.h"
#include "OrvexFSKApp.h"
#include "Settings.h"
#include "StringTable.h"
#include "dialogs/SprachDlg.h"
#include "support/AppTest.h"

namespace {

constexpr int kNoTransponder = 111;
const QString kGermanText = QStringLiteral("Kein Transponder");
const QString kEnglishText = QStringLiteral("No transponder");

bool SpracheStored() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Qor Applikationen",
                       "Orvex-FSK");
    return settings.contains("Settings/Sprache");
}

// Stands in for the main window: records the language each window comes up in and ends
// it with the next scripted code, after running the scripted action (a system-menu choice).
struct ScriptedWindows {
    struct Turn {
        int endCode;
        int storeSprache = -2;  // -2: store nothing
    };
    QList<Turn> turns;
    QStringList seen;

    int operator()() {
        seen << LoadString(kNoTransponder);
        const Turn turn = turns.value(seen.size() - 1, Turn{COrvexFSKApp::kEndCancel});
        if (turn.storeSprache != -2) PutSettingInt("Settings", "Sprache", turn.storeSprache);
        return turn.endCode;
    }
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        apptest::ClearSettings();
        COrvexFSKApp::SetLanguageFileForTests(QStringLiteral(ORVEX_QM_FILE));
    }

    void FirstStartAsksForLanguage_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("windowText");
        QTest::newRow("Deutsch") << int(CSprachDlg::IDC_GERMAN) << 0 << kGermanText;
        QTest::newRow("English") << int(CSprachDlg::IDC_ENGLISH) << 1 << kEnglishText;
    }

    void FirstStartAsksForLanguage() {
        QFETCH(int, button);
        QFETCH(int, stored);
        QFETCH(QString, windowText);

        apptest::ModalWatcher watcher;
        QStringList order;
        watcher.SetDialogHandler([&](QDialog* dialog) {
            auto* choice = ControlById<QPushButton>(dialog, button);
            if (choice == nullptr) return false;
            order << QStringLiteral("language");
            choice->click();
            return true;
        });
        ScriptedWindows windows;
        COrvexFSKApp app;
        app.RunApplication([&] {
            order << QStringLiteral("window");
            return windows();
        });

        QCOMPARE(order, QStringList({"language", "window"}));
        QCOMPARE(watcher.Dialogs(), QStringList({"Orvex FSK Programmer"}));
        QCOMPARE(GetSettingInt("Settings", "Sprache", -1), stored);
        QCOMPARE(windows.seen, QStringList({windowText}));
    }

    void ClosingLanguageDialogStoresNothing() {
        apptest::ModalWatcher watcher;  // rejects the dialog
        ScriptedWindows windows;
        COrvexFSKApp app;
        app.RunApplication(std::ref(windows));

        QCOMPARE(watcher.Dialogs().size(), 1);
        QVERIFY(!SpracheStored());
        QCOMPARE(windows.seen, QStringList({kGermanText}));
    }

    void StoredLanguageIsUsedWithoutAsking_data() {
        QTest::addColumn<int>("sprache");
        QTest::addColumn<QString>("languageFile");
        QTest::addColumn<QString>("windowText");
        const QString shipped = QStringLiteral(ORVEX_QM_FILE);
        QTest::newRow("German") << 0 << shipped << kGermanText;
        QTest::newRow("English") << 1 << shipped << kEnglishText;
        QTest::newRow("5 counts as English") << 5 << shipped << kEnglishText;
        QTest::newRow("English file missing")
            << 1 << QStringLiteral("/nonexistent/Orvex-FSKProgrammerEng.qm") << kGermanText;
    }

    void StoredLanguageIsUsedWithoutAsking() {
        QFETCH(int, sprache);
        QFETCH(QString, languageFile);
        QFETCH(QString, windowText);

        PutSettingInt("Settings", "Sprache", sprache);
        COrvexFSKApp::SetLanguageFileForTests(languageFile);
        apptest::ModalWatcher watcher;
        ScriptedWindows windows;
        COrvexFSKApp app;
        app.RunApplication(std::ref(windows));

        QVERIFY(watcher.Dialogs().isEmpty());
        QCOMPARE(windows.seen, QStringList({windowText}));
        QCOMPARE(GetSettingInt("Settings", "Sprache", -1), sprache);
    }

    // Language changes from the system menu, OK and other end codes, in one run. English
    // chosen twice must not leave a second translation behind: German afterwards proves it.
    void MainWindowLoopFollowsEndCodes() {
        PutSettingInt("Settings", "Sprache", 0);
        ScriptedWindows windows;
        windows.turns = {{COrvexFSKApp::kEndLanguageChanged, 1},
                         {COrvexFSKApp::kEndLanguageChanged, 1},
                         {COrvexFSKApp::kEndOk},
                         {COrvexFSKApp::kEndLanguageChanged, 0},
                         {COrvexFSKApp::kEndOk, 1},  // stored, but OK does not reload
                         {-1}};
        COrvexFSKApp app;
        const int lastCode = app.RunApplication(std::ref(windows));

        QCOMPARE(lastCode, -1);
        QCOMPARE(windows.seen, QStringList({kGermanText, kEnglishText, kEnglishText, kEnglishText,
                                            kGermanText, kGermanText}));
        QVERIFY(!app.IsLanguageLoaded());
    }

    void OpenManualTakesFirstPdfByName() {
        const QDir programDir(QCoreApplication::applicationDirPath());
        QStringList opened;
        COrvexFSKApp::SetManualOpenerForTests([&](const QString& path) {
            opened << path;
            return 42;
        });
        apptest::ModalWatcher watcher;

        // No manual: said as for a missing viewer, never nothing at all.
        COrvexFSKApp::OpenManual();
        QVERIFY(opened.isEmpty());
        QCOMPARE(watcher.Messages().size(), 1);
        watcher.Clear();

        const QStringList manuals = {"zz_startup_test_b.pdf", "zz_startup_test_a.PDF"};
        for (const QString& name : manuals) {
            QFile file(programDir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        COrvexFSKApp::OpenManual();
        for (const QString& name : manuals) QFile::remove(programDir.filePath(name));
        COrvexFSKApp::SetManualOpenerForTests({});

        QCOMPARE(opened, QStringList({programDir.filePath("zz_startup_test_a.PDF")}));
        QVERIFY(watcher.Messages().isEmpty());
    }

    // Qt's standard buttons follow the station's language (when Qt's translations are there).
    void QtTextsFollowTheDialogLanguage() {
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
            QSKIP("Qt's German translation (qt6-translations-l10n) is not installed");
        COrvexFSKApp::SetLanguageFileForTests(ORVEX_QM_FILE);
        PutSettingInt("Settings", "Sprache", 0);
        QStringList cancel;
        int turn = 0;
        COrvexFSKApp app;
        app.RunApplication([&] {
            cancel << QCoreApplication::translate("QPlatformTheme", "Cancel");
            if (++turn == 1) {
                PutSettingInt("Settings", "Sprache", 1);
                return COrvexFSKApp::kEndLanguageChanged;
            }
            return COrvexFSKApp::kEndCancel;
        });
        COrvexFSKApp::SetLanguageFileForTests({});
        QCOMPARE(cancel, QStringList({"Abbrechen", "Cancel"}));
    }

    void OpenManualOfDialogLanguage_data() {
        QTest::addColumn<int>("sprache");
        QTest::addColumn<QString>("manual");
        QTest::newRow("German") << 0 << COrvexFSKApp::kManualGerman;
        QTest::newRow("English") << 1 << COrvexFSKApp::kManualEnglish;
        QTest::newRow("any library language") << 5 << COrvexFSKApp::kManualEnglish;
    }

    // The manual of the dialog language wins over a PDF that sorts first.
    void OpenManualOfDialogLanguage() {
        QFETCH(int, sprache);
        QFETCH(QString, manual);
        const QDir programDir(QCoreApplication::applicationDirPath());
        const QStringList files = {"aa_startup_test.pdf", COrvexFSKApp::kManualGerman,
                                   COrvexFSKApp::kManualEnglish};
        for (const QString& name : files) {
            QFile file(programDir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        PutSettingInt("Settings", "Sprache", sprache);
        QStringList opened;
        COrvexFSKApp::SetManualOpenerForTests([&](const QString& path) {
            opened << path;
            return 42;
        });
        COrvexFSKApp::OpenManual();
        COrvexFSKApp::SetManualOpenerForTests({});
        for (const QString& name : files) QFile::remove(programDir.filePath(name));

        QCOMPARE(opened, QStringList({programDir.filePath(manual)}));
    }

    void OpenManualReportsFailures_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("out of resources") << 0 << "Nicht genügend Systemresourcen vorhanden!";
        QTest::newRow("no viewer") << 31
                                   << "Zum Anzeigen des Handbuchs wird ein PDF-Betrachter "
                                      "gebraucht.";
        QTest::newRow("other") << 5 << "Unbekannter Fehler 5";
    }

    void OpenManualReportsFailures() {
        QFETCH(int, result);
        QFETCH(QString, message);

        const QString manual =
            QDir(QCoreApplication::applicationDirPath()).filePath("zz_startup_test.pdf");
        QFile file(manual);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        COrvexFSKApp::SetManualOpenerForTests([&](const QString&) { return result; });
        apptest::ModalWatcher watcher;
        COrvexFSKApp::OpenManual();
        COrvexFSKApp::SetManualOpenerForTests({});
        QFile::remove(manual);

        QCOMPARE(watcher.Messages().size(), 1);
        QVERIFY2(watcher.Messages().first().startsWith(message),
                 qPrintable(watcher.Messages().first()));
    }
};

ORVEX_APP_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
