// The station's words in both languages, one table: the title without a reader, the holders
// count of one, the export files' names, the menu's dialog entries, and a new series that
// starts with an empty status line instead of the previous series' end.
#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QTranslator>

#include "HoldersWindow.h"
#include "dialogs/RegisterDlg.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "support/AppTest.h"
#include "support/WriteStationFixture.h"

using apptest::Find;

class MessagesTest : public apptest::WriteStationFixture {
    Q_OBJECT

    // The file name a save dialog offers when button is clicked in window (dialog cancelled).
    static QString OfferedFile(QWidget* window, int button) {
        apptest::ModalWatcher watcher;
        QString offered;
        watcher.SetDialogHandler([&offered](QDialog* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            if (files == nullptr) return false;
            offered = QFileInfo(files->selectedFiles().value(0)).fileName();
            dialog->reject();
            return true;
        });
        QTest::mouseClick(ControlById<QPushButton>(window, button), Qt::LeftButton);
        return offered;
    }

  private Q_SLOTS:
    void init() { PrepareWriteStation(); }
    void cleanup() { CloseWriteStation(); }

    void wordsInTheOperatorsLanguage_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("oneHolder");
        QTest::addColumn<QString>("registerFile");
        QTest::addColumn<QString>("validFile");
        QTest::addColumn<QString>("blockedFile");
        QTest::addColumn<QStringList>("dialogEntries");
        QTest::newRow("German") << false << "1 Person" << "kartenregister.csv"
                                << "gueltige-karten.csv" << "sperrliste.csv"
                                << QStringList{"Schnittstelle...", "IP-Adresse...",
                                               "Einstellungen...",
                                               "Kartenregister-Einstellungen..."};
        QTest::newRow("English") << true << "1 holder" << "card-register.csv" << "valid-cards.csv"
                                 << "block-list.csv"
                                 << QStringList{"Interface...", "IP address...", "Settings...",
                                                "Card register settings..."};
    }
    void wordsInTheOperatorsLanguage() {
        QFETCH(bool, english);
        QFETCH(QString, oneHolder);
        QFETCH(QString, registerFile);
        QFETCH(QString, validFile);
        QFETCH(QString, blockedFile);
        QFETCH(QStringList, dialogEntries);
        QTranslator translation;
        QVERIFY(translation.load(QStringLiteral(ORVEX_QM_FILE)));
        if (english) QCoreApplication::installTranslator(&translation);
        auto removeTranslation =
            qScopeGuard([&translation] { QCoreApplication::removeTranslator(&translation); });
        {
            station::CCardRegister cardRegister(station::RegisterSettings{}, "test");
            QVERIFY2(cardRegister.Open(), qPrintable(cardRegister.LastError()));
            station::Holder holder;
            holder.personnelNumber = "1";
            holder.name = "Anna Berg";
            QVERIFY2(cardRegister.SaveHolder(holder), qPrintable(cardRegister.LastError()));
        }
        Open();

        // Without a reader the title has no empty brackets.
        QVERIFY(m_dlg->windowTitle().contains('<'));
        m_dlg->m_strVersion.clear();
        m_dlg->m_strDeviceText.clear();
        m_dlg->UpdateTitle();
        QVERIFY2(!m_dlg->windowTitle().contains('<'), qPrintable(m_dlg->windowTitle()));

        QStringList entries;
        for (QAction* action : m_dlg->SystemMenu()->actions())
            if (action->text().endsWith("...")) entries << action->text();
        QCOMPARE(entries, dialogEntries);

        for (QAction* action : m_dlg->SystemMenu()->actions())
            if (action->data().toInt() == COrvexFSKDlg::IDM_HOLDERS ||
                action->data().toInt() == COrvexFSKDlg::IDM_REGISTER)
                action->trigger();
        CHoldersWindow* holders = m_dlg->HoldersWindow();
        QCOMPARE(ControlById<QLabel>(holders, CHoldersWindow::IDC_COUNT)->text(), oneHolder);
        QCOMPARE(OfferedFile(holders, CHoldersWindow::IDC_EXPORT_VALID), validFile);
        QCOMPARE(OfferedFile(holders, CHoldersWindow::IDC_EXPORT_BLOCKED), blockedFile);
        QCOMPARE(OfferedFile(m_dlg->RegisterWindow(), CRegisterDlg::IDC_EXPORT), registerFile);

        // A new series does not start under the previous one's end.
        apptest::ModalWatcher watcher;
        Click(1007);
        Click(1007);
        QVERIFY(!SeriesRunning());
        QVERIFY(!m_dlg->m_strStatus.isEmpty());
        Click(1007);
        QVERIFY(SeriesRunning());
        QCOMPARE(m_dlg->m_strStatus, QString());
        Click(1007);
    }
};

ORVEX_APP_TEST_MAIN(MessagesTest)
#include "tst_messages.moc"
