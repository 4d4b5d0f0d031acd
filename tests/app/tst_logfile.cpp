// The read and write logs: line contents, numbering, line ends on disk and the error list.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "LogFile.h"
#include "support/AppTest.h"

namespace {

const QDateTime kChristmas(QDate(2025, 12, 24), QTime(14, 3, 5));

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

QByteArray ForeignLines(int count, const QByteArray& lineEnd) {
    QByteArray data;
    for (int i = 1; i <= count; ++i) data += "written elsewhere " + QByteArray::number(i) + lineEnd;
    return data;
}

}  // namespace

class TestLogFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void lineContents_data();
    void lineContents();
    void exampleLineOnDisk();
    void numbering_data();
    void numbering();
    void unwritablePath_data();
    void unwritablePath();
    void fileHeldByAnotherStation();
    void emptyPathLogsNothing();
    void failedWriteLeavesNoFragment();
    void logIsPrivate();

  private:
    QTemporaryDir m_dir;
};

void TestLogFile::lineContents_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("chip");
    QTest::addColumn<QString>("expected");

    const QString stamp = "24.12.2025 14:03:05\t";
    QTest::newRow("read line, chip with id")
        << 0 << "" << 9 << stamp + "26 Bit,12,4711, ATA5577\t1A2B\n";
    QTest::newRow("SIC7888 has no id")
        << 0 << "not Locked" << 12 << stamp + "26 Bit,12,4711,not Locked SIC7888\n";
    QTest::newRow("ATA5575 M2 has no id")
        << 7 << "Locked" << 11 << stamp + "37 Bit Huge,12,4711,Locked ATA5575 M2\n";
    QTest::newRow("Q5 has an id") << 3 << "" << 3
                                  << stamp + "34 Bit NC,12,4711, ATA5555 (Q5)\t1A2B\n";
    QTest::newRow("TL008 has an id") << 5 << "" << 17 << stamp + "36 Bit,12,4711, TL008\t1A2B\n";
    QTest::newRow("format outside the list") << 8 << "" << 12 << stamp + ",12,4711, SIC7888\n";
}

void TestLogFile::lineContents() {
    QFETCH(int, format);
    QFETCH(QString, text);
    QFETCH(int, chip);
    QFETCH(QString, expected);
    QCOMPARE(BuildLogLine(format, 12, "4711", text, chip, "1A2B", kChristmas), expected);
}

void TestLogFile::exampleLineOnDisk() {
    const QString path = m_dir.filePath("example.txt");
    QString errors;
    QVERIFY(AppendLogLine(
        path, BuildLogLine(0, 12, "4711", "Locked", 9, "1A2B3C4D5E6F", kChristmas), errors));
    QCOMPARE(errors, QString());
    QCOMPARE(ReadAll(path),
             QByteArray("     1\t24.12.2025 14:03:05\t26 Bit,12,4711,Locked ATA5577\t"
                        "1A2B3C4D5E6F\r\n"));
}

void TestLogFile::numbering_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("new file") << QByteArray() << QByteArray("     1\tentry\r\n");
    QTest::newRow("41 CR LF lines")
        << ForeignLines(41, "\r\n") << ForeignLines(41, "\r\n") + "    42\tentry\r\n";
    QTest::newRow("41 LF lines") << ForeignLines(41, "\n")
                                 << ForeignLines(41, "\n") + "    42\tentry\r\n";
    // The partial line counts, and the new entry still starts on a line of its own.
    QTest::newRow("last line without end")
        << QByteArray("first\r\nsecond") << QByteArray("first\r\nsecond\r\n     3\tentry\r\n");
    QTest::newRow("empty lines count")
        << QByteArray("\r\n\r\n") << QByteArray("\r\n\r\n     3\tentry\r\n");
}

void TestLogFile::numbering() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, expected);
    const QString path = m_dir.filePath(QString("numbering-%1.txt").arg(QTest::currentDataTag()));
    if (!before.isEmpty()) WriteAll(path, before);
    QString errors;
    QVERIFY(AppendLogLine(path, "entry\n", errors));
    QCOMPARE(ReadAll(path), expected);
    QCOMPARE(errors, QString());
}

void TestLogFile::unwritablePath_data() {
    QTest::addColumn<QString>("path");
    // Both fail for root too, unlike a file without write permission.
    QTest::newRow("directory") << m_dir.filePath("a-directory");
    QTest::newRow("below a regular file") << m_dir.filePath("plain.txt/log.txt");
}

void TestLogFile::unwritablePath() {
    QFETCH(QString, path);
    QVERIFY(QDir().mkpath(m_dir.filePath("a-directory")));
    WriteAll(m_dir.filePath("plain.txt"), "x");

    const QString line = BuildLogLine(0, 12, "4711", "Locked", 12, "", kChristmas);
    QString errors = "earlier entry\r\n";
    QVERIFY(!AppendLogLine(path, line, errors));

    QStringList entries = errors.split("\r\n");
    QCOMPARE(entries.takeFirst(), QString("earlier entry"));
    QCOMPARE(entries.takeLast(), QString());  // every entry ends with CR LF
    QCOMPARE(entries.size(), kLogAttempts);
    for (int attempt = 0; attempt < kLogAttempts; ++attempt) {
        const QString& entry = entries[attempt];
        const QString start = QString("Open Error: Retry:%1 ").arg(attempt);
        QVERIFY2(entry.startsWith(start), qPrintable(entry));
        QVERIFY2(entry.contains(path), qPrintable(entry));
        QVERIFY2(entry.endsWith(line.chopped(1)), qPrintable(entry));
    }
}

void TestLogFile::fileHeldByAnotherStation() {
    const QString path = m_dir.filePath("shared.txt");
    WriteAll(path, "first\r\n");
    const int other = ::open(QFile::encodeName(path).constData(), O_RDWR);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_EX), 0);

    QString errors;
    const bool written = AppendLogLine(path, "entry\n", errors);
    ::close(other);
    QVERIFY(!written);
    QCOMPARE(errors.count("Open Error: Retry:"), kLogAttempts);
    QCOMPARE(ReadAll(path), QByteArray("first\r\n"));

    errors.clear();
    QVERIFY(AppendLogLine(path, "entry\n", errors));
    QCOMPARE(ReadAll(path), QByteArray("first\r\n     2\tentry\r\n"));
}

void TestLogFile::emptyPathLogsNothing() {
    QString errors;
    QVERIFY(AppendLogLine("", "entry\n", errors));
    QCOMPARE(errors, QString());
}

// A file size limit stands in for a disk that fills up part-way through a line and gets room
// again later: the log keeps whole lines, numbered without gaps, each card once.
void TestLogFile::failedWriteLeavesNoFragment() {
    const QString path = m_dir.filePath("full-disk.txt");
    WriteAll(path, "first\r\n");
    const QString line = BuildLogLine(0, 12, "4713", "Locked", 9, "1A2B", kChristmas);

    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 7 + 20;  // room for a part of the entry only
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString errors;
    const bool written = AppendLogLine(path, line, errors);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QCOMPARE(errors.count("Read/Write Error: Retry:"), kLogAttempts);
    QVERIFY2(errors.contains(" | 24.12.2025 14:03:05"), qPrintable(errors));  // text, then line
    QCOMPARE(ReadAll(path), QByteArray("first\r\n"));

    errors.clear();
    QVERIFY(AppendLogLine(path, line, errors));
    QCOMPARE(errors, QString());
    QCOMPARE(ReadAll(path), QByteArray("first\r\n     2\t24.12.2025 14:03:05\t26 Bit,12,4713,"
                                       "Locked ATA5577\t1A2B\r\n"));
}

void TestLogFile::logIsPrivate() {
    const QString path = m_dir.filePath("private.txt");
    const mode_t oldMask = ::umask(022);
    QString errors;
    const bool written = AppendLogLine(path, "entry\n", errors);
    ::umask(oldMask);
    QVERIFY(written);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

ORVEX_APP_TEST_MAIN(TestLogFile)
#include "tst_logfile.moc"
