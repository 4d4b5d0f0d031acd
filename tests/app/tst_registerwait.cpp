// The station waits for its register without freezing: a PostgreSQL server that goes silent
// in the middle of a series (its processes stopped) ends the series with the reason after
// the answer timeout while the window's event loop keeps running, and the register window
// shows a large register page by page.
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "CardFeeder.h"
#include "ControlId.h"
#include "PgServer.h"
#include "RegisterFill.h"
#include "Settings.h"
#include "dialogs/RegisterDlg.h"
#include "station/register/CardRegister.h"
#include "support/AppTest.h"
#include "support/WriteStationFixture.h"

using apptest::Find;
using namespace std::chrono_literals;

namespace {

constexpr int kAta5577 = 9;
const QString kRegisterFailed = QStringLiteral("Kartenregister kann nicht schreiben: ");

// The server's main process and its children (the connections' processes).
std::vector<pid_t> ServerProcesses(pid_t server) {
    std::vector<pid_t> processes{server};
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number) continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (name) state ppid ...": the name may hold spaces, so read after its ')'.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == server) processes.push_back(pid);
    }
    return processes;
}

// Stops a server's processes for the scope, so that it is continued also when a check fails.
class SilentServer {
  public:
    explicit SilentServer(pid_t server) : m_processes(ServerProcesses(server)) {
        for (const pid_t pid : m_processes) kill(pid, SIGSTOP);
    }
    ~SilentServer() {
        for (const pid_t pid : m_processes) kill(pid, SIGCONT);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

  private:
    std::vector<pid_t> m_processes;
};

// The longest time between two ticks of a 1 ms timer while waiting() holds: how long the
// event loop was held during a wait (a gap that ends after the wait is not the wait's).
class LoopGap : public QObject {
  public:
    explicit LoopGap(std::function<bool()> waiting) : m_waiting(std::move(waiting)) {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 gap = m_clock.restart();
            if (!m_waiting()) return m_timer.stop();
            if (gap > 16) m_gaps += QString(" %1 ms at %2;").arg(gap).arg(m_since.elapsed());
            m_longest = std::max(m_longest, gap);
        });
        m_clock.start();
        m_since.start();
        m_timer.start(1);
    }
    qint64 Longest() const { return m_longest; }
    // The gaps over 16 ms and when they ended, for a failure's message.
    QString Gaps() const { return m_gaps; }

  private:
    std::function<bool()> m_waiting;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
    QString m_gaps;
};

}  // namespace

class RegisterWaitTest : public apptest::WriteStationFixture {
    Q_OBJECT

  private Q_SLOTS:
    void init() { PrepareWriteStation(); }
    void cleanup() { CloseWriteStation(); }

    void silentServerEndsTheSeriesWhileTheWindowRuns() {
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
        QVERIFY(m_dlg->Register() != nullptr && m_dlg->Register()->IsOpen());

        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({kAta5577, 20, 300ms}));
        SetCustomer("100");
        Find<QLineEdit>(*m_dlg, 1040)->setText("20");
        apptest::ModalWatcher watcher;
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->m_nCount >= 2, 30000);
        qint64 longestGap = 0;
        QString gaps;

        QElapsedTimer silent;
        {
            const SilentServer stopped(server.Pid());
            // From the silence until the register's call gives up: the wait and its timeout,
            // not the message the series' stop shows afterwards.
            const station::CCardRegister* cardRegister = m_dlg->Register();
            LoopGap gap([cardRegister] { return cardRegister->IsOpen(); });
            silent.start();
            QTRY_VERIFY_WITH_TIMEOUT(m_dlg->m_strStatus.startsWith(kRegisterFailed), 10000);
            longestGap = gap.Longest();
            gaps = gap.Gaps();
            QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), 10000);
        }
        const qint64 stoppedAfter = silent.elapsed();
        feeder.Stop();
        qInfo(
            "series stopped %lld ms after the server went silent; longest event-loop gap "
            "%lld ms",
            stoppedAfter, longestGap);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kRegisterFailed), qPrintable(m_dlg->m_strStatus));
        QVERIFY2(m_dlg->m_strStatus.contains("did not answer within 2 s"),
                 qPrintable(m_dlg->m_strStatus));
        QVERIFY2(stoppedAfter < 5000, "the series went on after the answer timeout");
        QVERIFY2(longestGap <= 16,
                 qPrintable(QString("the window froze for %1 ms:%2").arg(longestGap).arg(gaps)));
        QCOMPARE(watcher.Messages().size(), 1);

        // Once the server answers again, so does the register.
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->Register()->List({}).has_value(), 10000);
    }

    void windowShowsALargeRegisterPageByPage() {
        station::RegisterSettings settings;
        settings.file = m_dir.filePath("pages.sqlite");
        station::CCardRegister cardRegister(settings, "test");
        QVERIFY2(cardRegister.Open(), qPrintable(cardRegister.LastError()));
        constexpr int kRows = 450;
        {
            QSqlDatabase raw = registerfill::PlainConnection(settings, "pages-fill");
            QString error;
            QVERIFY2(registerfill::FillRegister(raw, kRows, 0, error), qPrintable(error));
        }
        QSqlDatabase::removeDatabase("pages-fill");
        CRegisterDlg dialog(cardRegister);
        dialog.show();
        auto* count = ControlById<QLabel>(&dialog, CRegisterDlg::IDC_COUNT);
        auto* table = ControlById<QTableView>(&dialog, CRegisterDlg::IDC_TABLE);
        QVERIFY(count != nullptr && table != nullptr);
        // The first page only, newest first, and a count that says more may follow.
        QCOMPARE(dialog.Rows().rowCount(), CRegisterTableModel::kPageRows);
        QCOMPARE(count->text(),
                 QString("Einträge: mindestens %1").arg(CRegisterTableModel::kPageRows));
        const auto& first = dialog.Rows().Entries();
        QVERIFY(std::is_sorted(first.begin(), first.end(), [](const auto& a, const auto& b) {
            return a.time > b.time || (a.time == b.time && a.id > b.id);
        }));

        // Scrolling to the end reads the next pages, each row once, until the register ends.
        for (int page = 0; page < 3 && dialog.Rows().More(); ++page) {
            table->scrollToBottom();
            QCoreApplication::processEvents();
        }
        QCOMPARE(dialog.Rows().rowCount(), kRows);
        QCOMPARE(count->text(), QString("Einträge: %1").arg(kRows));
        std::vector<std::int64_t> ids;
        for (const auto& entry : dialog.Rows().Entries()) ids.push_back(entry.id);
        std::sort(ids.begin(), ids.end());
        QVERIFY(std::adjacent_find(ids.begin(), ids.end()) == ids.end());

        // A filter runs in the database, also over rows no page has read yet.
        ControlById<QLineEdit>(&dialog, CRegisterDlg::IDC_NUMBER)->setText("1");
        QVERIFY(dialog.ShowRows());
        QCOMPARE(dialog.Rows().rowCount(), 1);
        QCOMPARE(dialog.Rows().Entries()[0].fields.number, 1);
    }
};

QTEST_MAIN(RegisterWaitTest)
#include "tst_registerwait.moc"
