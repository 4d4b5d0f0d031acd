// The station waits for its register without freezing: a PostgreSQL server that goes silent
// in the middle of a series (its processes stopped) ends the series with the reason after
// the answer timeout while the window's event loop keeps running, and the register window
// shows a large register page by page.
#include <QElapsedTimer>
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
#include "SilentServer.h"
#include "dialogs/RegisterDlg.h"
#include "station/register/CardRegister.h"
#include "support/AppTest.h"
#include "support/WriteStationFixture.h"

using apptest::Find;
using namespace std::chrono_literals;

namespace {

constexpr int kAta5577 = 9;
const QString kRegisterFailed = QStringLiteral("Kartenregister kann nicht schreiben: ");

// Counts the firings of a 10 ms timer of the window's thread while waiting() holds, and
// when the first and the last of them came: the event loop ran through the wait.
class TimerDuringWait : public QObject {
  public:
    explicit TimerDuringWait(std::function<bool()> waiting) : m_waiting(std::move(waiting)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (!m_waiting()) return;
            if (m_fired++ == 0) m_first = m_clock.elapsed();
            m_last = m_clock.elapsed();
        });
        m_clock.start();
        m_timer.start(10);
    }
    int Fired() const { return m_fired; }
    // From the first firing during the wait to the last.
    qint64 Span() const { return m_last - m_first; }

  private:
    std::function<bool()> m_waiting;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_fired = 0;
    qint64 m_first = 0;
    qint64 m_last = 0;
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
        int fired = 0;
        qint64 firedSpan = 0;

        QElapsedTimer silent;
        {
            const pgtest::SilentServer stopped(server.Pid());
            // From the silence until the register's call gives up: the wait and its timeout,
            // not the message the series' stop shows afterwards.
            const station::CCardRegister* cardRegister = m_dlg->Register();
            TimerDuringWait timer([cardRegister] { return cardRegister->IsOpen(); });
            silent.start();
            QTRY_VERIFY_WITH_TIMEOUT(m_dlg->m_strStatus.startsWith(kRegisterFailed), 10000);
            fired = timer.Fired();
            firedSpan = timer.Span();
            QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), 10000);
        }
        const qint64 stoppedAfter = silent.elapsed();
        feeder.Stop();
        qInfo("series stopped %lld ms after the server went silent; the window's timer fired %d "
              "times over %lld ms of the wait",
              stoppedAfter, fired, firedSpan);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kRegisterFailed), qPrintable(m_dlg->m_strStatus));
        QVERIFY2(m_dlg->m_strStatus.contains("did not answer within 2 s"),
                 qPrintable(m_dlg->m_strStatus));
        QVERIFY2(stoppedAfter < 5000, "the series went on after the answer timeout");
        // The window's timer kept firing through the 2 s wait, not just at its ends (how
        // evenly is a figure of bench_write_series --silent-server, not a test's).
        QVERIFY2(fired >= 10 && firedSpan >= 1000,
                 qPrintable(QString("the window's timer fired %1 times over %2 ms of the wait")
                                .arg(fired)
                                .arg(firedSpan)));
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

ORVEX_APP_TEST_MAIN(RegisterWaitTest)
#include "tst_registerwait.moc"
