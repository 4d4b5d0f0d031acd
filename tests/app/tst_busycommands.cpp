// No command runs inside a waiting call. While a register call waits for a PostgreSQL server
// whose processes are stopped (its wait keeps the window's events going), every command of
// the station's menu and every button of the register and holders windows is deferred:
// nothing opens, closes or is replaced meanwhile. Once the call has given up, the deferred
// commands run in their order, among them the register settings' OK, which replaces the
// register whose call was abandoned and the windows that read it. The test runs under
// AddressSanitizer, which finds any of them used after it was freed.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <vector>

#include "ControlId.h"
#include "HoldersWindow.h"
#include "PgServer.h"
#include "Settings.h"
#include "SilentServer.h"
#include "StationBusy.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/RegisterSettingsDlg.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "support/AppTest.h"
#include "support/WriteStationFixture.h"

namespace {

constexpr int kAta5577 = 9;
constexpr int kIdWriteOnce = 1006;
const QString kWriteDone = QStringLiteral("Schreibvorgang erfolgreich");

// An operator's command: what it is called in a failure, and the input that gives it.
struct Command {
    QString name;
    std::function<void()> give;
};

// What became of a command given inside the held call.
struct Given {
    QString name;
    int deferred = 0;  // commands it added to those waiting for the station
    int opened = 0;    // dialogs and message boxes it opened meanwhile
};

}  // namespace

class BusyCommandsTest : public apptest::WriteStationFixture {
    Q_OBJECT

    // Every command of the menu, every button of both windows and their other inputs that
    // read the register. The windows' commands come first, so that they run after the call
    // while their windows still exist; the register settings and the language end the list.
    std::vector<Command> Commands(CRegisterDlg& registerWindow, CHoldersWindow& holders) {
        std::vector<Command> commands;
        auto clickAll = [&commands](QWidget& window, const QString& where) {
            for (QPushButton* button : window.findChildren<QPushButton*>()) {
                if (!button->isVisible() || !button->isEnabled()) continue;
                QPointer<QPushButton> target(button);
                commands.push_back({where + button->text(), [target] {
                                        if (target) QTest::mouseClick(target, Qt::LeftButton);
                                    }});
            }
        };
        clickAll(holders, "holders window: ");
        auto* search = ControlById<QLineEdit>(&holders, CHoldersWindow::IDC_SEARCH);
        commands.push_back({"holders window: search", [search] { QTest::keyClicks(search, "A"); }});
        auto* withoutCard = ControlById<QCheckBox>(&holders, CHoldersWindow::IDC_WITHOUT_CARD);
        commands.push_back({"holders window: without a card",
                            [withoutCard] { QTest::mouseClick(withoutCard, Qt::LeftButton); }});
        clickAll(registerWindow, "register window: ");
        for (QAction* action : registerWindow.RowMenu()->actions())
            if (action->isEnabled())
                commands.push_back(
                    {"register window: " + action->text(), [action] { action->trigger(); }});
        std::vector<Command> last;
        for (QAction* action : m_dlg->SystemMenu()->actions()) {
            if (action->isSeparator() || !action->isEnabled()) continue;
            const int id = action->data().toInt();
            const bool ends = id == COrvexFSKDlg::IDM_REGISTER_SETTINGS ||
                              id == COrvexFSKDlg::IDM_GERMAN || id == COrvexFSKDlg::IDM_ENGLISH;
            (ends ? last : commands)
                .push_back({"menu: " + action->text(), [action] { action->trigger(); }});
        }
        commands.insert(commands.end(), last.begin(), last.end());
        return commands;
    }

    QAction* MenuAction(int id) {
        for (QAction* action : m_dlg->SystemMenu()->actions())
            if (action->data().toInt() == id) return action;
        return nullptr;
    }

  private Q_SLOTS:
    void init() { PrepareWriteStation(); }
    void cleanup() { CloseWriteStation(); }

    void commandsWaitUntilTheCallHasReturned() {
        pgtest::PgServer server;
        QVERIFY2(server.Start(), qPrintable(server.Error() + server.LogTail()));
        qputenv("PGPASSWORD", server.Password().toUtf8());
        PutSettingString("Register", "Database", "PostgreSQL");
        PutSettingString("Register", "Host", server.Host());
        PutSettingInt("Register", "Port", server.Port());
        PutSettingString("Register", "Name", server.Database());
        PutSettingString("Register", "User", server.User());
        PutSettingInt("Register", "AnswerTimeout", 2);
        Open();
        station::CCardRegister* const cardRegister = m_dlg->Register();
        QVERIFY(cardRegister != nullptr && cardRegister->IsOpen());

        // A holder with a card, so that every button of both windows is on.
        station::Holder holder;
        holder.personnelNumber = "4711";
        holder.name = "Anna Berg";
        QVERIFY2(cardRegister->SaveHolder(holder), qPrintable(cardRegister->LastError()));
        m_dlg->ChooseHolder(holder);
        m_reader->Place(kAta5577);
        SetCustomer("100");
        apptest::ModalWatcher watcher;
        Click(kIdWriteOnce);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
        MenuAction(COrvexFSKDlg::IDM_REGISTER)->trigger();
        MenuAction(COrvexFSKDlg::IDM_HOLDERS)->trigger();
        QPointer<CRegisterDlg> registerWindow = m_dlg->RegisterWindow();
        QPointer<CHoldersWindow> holders = m_dlg->HoldersWindow();
        QVERIFY(registerWindow != nullptr && holders != nullptr);
        ControlById<QTableWidget>(holders, CHoldersWindow::IDC_HOLDERS)->selectRow(0);
        ControlById<QTableView>(registerWindow, CRegisterDlg::IDC_TABLE)->selectRow(0);
        QVERIFY(holders->Selected() != nullptr && holders->Selected()->validCard);
        QCOMPARE(CStationBusy::Deferred(), 0);
        QVERIFY(watcher.Messages().isEmpty() && watcher.Dialogs().isEmpty());

        const std::vector<Command> commands = Commands(*registerWindow, *holders);
        // Every button and the menu: the table is not short by accident.
        QVERIFY2(commands.size() >= 20, qPrintable(QString::number(commands.size())));
        std::vector<Given> given;
        bool insideTheCall = false;
        bool nothingReplaced = false;
        bool settingsAccepted = false;
        {
            const pgtest::SilentServer silent(server.Pid());
            // Given from inside the held call: the register window's list waits for the
            // silent server, and its wait runs this timer.
            QTimer::singleShot(0, this, [&] {
                insideTheCall = CStationBusy::Waiting();
                for (const Command& command : commands) {
                    const int deferred = CStationBusy::Deferred();
                    const qsizetype opened = watcher.Messages().size() + watcher.Dialogs().size();
                    command.give();
                    QCoreApplication::processEvents();  // the watcher looks at what opened
                    given.push_back(
                        {command.name, CStationBusy::Deferred() - deferred,
                         static_cast<int>(watcher.Messages().size() + watcher.Dialogs().size() -
                                          opened)});
                }
                nothingReplaced = m_dlg->Register() == cardRegister &&
                                  m_dlg->RegisterWindow() == registerWindow &&
                                  m_dlg->HoldersWindow() == holders && m_dlg->isVisible() &&
                                  holders->isVisible() && registerWindow->isVisible();
            });
            QTest::mouseClick(ControlById<QPushButton>(registerWindow, CRegisterDlg::IDC_SHOW),
                              Qt::LeftButton);
            QVERIFY(insideTheCall);
            QCOMPARE(given.size(), commands.size());
            for (const Given& command : given) {
                QVERIFY2(command.deferred == 1 && command.opened == 0,
                         qPrintable(QString("%1: %2 deferred, %3 opened")
                                        .arg(command.name)
                                        .arg(command.deferred)
                                        .arg(command.opened)));
            }
            QVERIFY(nothingReplaced);

            // After the call the deferred commands run, the server still silent (each call
            // fails at once now). The register settings' OK replaces the register whose call
            // was abandoned; the language ends the window.
            watcher.SetDialogHandler([&settingsAccepted](QDialog* dialog) {
                if (qobject_cast<CRegisterSettingsDlg*>(dialog) == nullptr) return false;
                dialog->accept();
                settingsAccepted = true;
                return true;
            });
            QTRY_VERIFY_WITH_TIMEOUT(CStationBusy::Deferred() == 0 && !CStationBusy::IsBusy(),
                                     30000);
        }
        QVERIFY2(settingsAccepted, qPrintable(watcher.Dialogs().join(", ")));
        QTRY_COMPARE(m_dlg->result(), int(COrvexFSKDlg::kEndLanguageChanged));
        QVERIFY(m_dlg->Register() != cardRegister);
        // Once the server answers again, so does the register that replaced the old one.
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->Register()->List({}).has_value(), 10000);
    }
};

ORVEX_APP_TEST_MAIN(BusyCommandsTest)
#include "tst_busycommands.moc"
