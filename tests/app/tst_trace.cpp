// Trace output: the byte groups a viewer receives, and the shipped viewer program.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>

#include "Trace.h"
#include "support/AppTest.h"

namespace {

QString RuntimeFile(const char* name) {
    return qEnvironmentVariable("XDG_RUNTIME_DIR") + "/" + name;
}

// A viewer socket bound by the test itself, read without waiting.
class TestViewer {
  public:
    TestViewer() {
        const QByteArray path = QFile::encodeName(RuntimeFile("QorTracer"));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), path.size() + 1);
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~TestViewer() {
        ::close(m_fd);
        QFile::remove(RuntimeFile("QorTracer"));
    }
    bool IsBound() const { return m_bound; }

    QList<QByteArray> Received() const {
        QList<QByteArray> datagrams;
        char buffer[64];
        ssize_t count;
        while ((count = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0)
            datagrams << QByteArray(buffer, count);
        return datagrams;
    }

  private:
    int m_fd = -1;
    bool m_bound = false;
};

}  // namespace

class TraceTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // Runs first: the lock file is opened once per process and would exist after any send.
    void withoutViewerNothingIsSentOrLocked() {
        TraceOut("Kein Transponder\n");
        QVERIFY(!QFile::exists(RuntimeFile("QorTracerLock")));
    }

    void textArrivesInGroupsOfFourBytes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QByteArray>>("groups");
        QTest::newRow("one group") << "abc\n" << QList<QByteArray>{"abc\n"};
        QTest::newRow("padded last group")
            << "Kein Transponder\n"
            << QList<QByteArray>{"Kein", " Tra", "nspo", "nder", QByteArray("\n\0\0\0", 4)};
        QTest::newRow("no padding group") << "12345678" << QList<QByteArray>{"1234", "5678"};
        QTest::newRow("latin-1") << QString::fromUtf8("Prüf")
                                 << QList<QByteArray>{
                                        "Pr\xfc"
                                        "f"};
        QTest::newRow("empty") << "" << QList<QByteArray>{};
    }

    void textArrivesInGroupsOfFourBytes() {
        QFETCH(QString, text);
        QFETCH(QList<QByteArray>, groups);
        TestViewer viewer;
        QVERIFY(viewer.IsBound());
        TraceOut(text);
        QCOMPARE(viewer.Received(), groups);
    }

    void firstByteIsTheLowestOfTheGroup() {
        TestViewer viewer;
        TraceOut("abc\n");
        const QList<QByteArray> received = viewer.Received();
        QCOMPARE(received.size(), 1);
        quint32 value = 0;
        std::memcpy(&value, received[0].constData(), sizeof value);
        QCOMPARE(qFromLittleEndian(value), 0x0A636261u);
        QVERIFY(QFile::exists(RuntimeFile("QorTracerLock")));
    }

    void viewerProgramPrintsTheLines() {
        const QString program =
            QCoreApplication::applicationDirPath() + "/../../tools/qortrace/qortrace";
        if (!QFile::exists(program)) QSKIP("qortrace is not built");
        QProcess viewer;
        viewer.start(program, {"--lines", "2"});
        QVERIFY(viewer.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(RuntimeFile("QorTracer")) && waited.elapsed() < 5000)
            QTest::qWait(10);

        // The second line is longer than the kernel's datagram queue: it must wait, not drop.
        TraceOut("Kein Transponder\n");
        TraceOut(QString::fromUtf8("Schreibvorgang erfolgreich abgeschlossen, Prüfung ok\n"));
        QVERIFY(viewer.waitForFinished(5000));
        // Each line comes after the time it arrived.
        const QStringList lines =
            QString::fromUtf8(viewer.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "));
        QVERIFY2(lines[0].contains(stamp), qPrintable(lines[0]));
        QCOMPARE(lines[0].mid(13), QStringLiteral("Kein Transponder"));
        QCOMPARE(lines[1].mid(13),
                 QString::fromUtf8("Schreibvorgang erfolgreich abgeschlossen, Prüfung ok"));
        QCOMPARE(viewer.exitCode(), 0);
        QVERIFY(!QFile::exists(RuntimeFile("QorTracer")));
    }
};

ORVEX_APP_TEST_MAIN(TraceTest)
#include "tst_trace.moc"
