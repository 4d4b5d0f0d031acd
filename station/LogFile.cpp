#include "station/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"

namespace station {

namespace {

constexpr int kMaxErrorTextLength = 1000;

// How long one attempt waits for another station that is writing the same file.
constexpr int kLockWaitMs = 200;
constexpr int kLockPollMs = 5;

const QString kOpenError = QStringLiteral("Open Error:");
const QString kReadWriteError = QStringLiteral("Read/Write Error:");
const QString kCloseError = QStringLiteral("Close Error:");

// Chip types whose identification goes into the log.
constexpr int kChipTypesWithId[] = {2, 3, 4, 7, 8, 9, 10, 17};

bool LogsChipId(int chipType) {
    return std::find(std::begin(kChipTypesWithId), std::end(kChipTypesWithId), chipType) !=
           std::end(kChipTypesWithId);
}

// An open log file, closed when it goes out of scope.
class CLogFileHandle {
  public:
    explicit CLogFileHandle(const QByteArray& path)
        // Owner only: a line holds all it takes to copy the card.
        : m_fd(::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {}
    ~CLogFileHandle() {
        if (m_fd >= 0) ::close(m_fd);
    }
    CLogFileHandle(const CLogFileHandle&) = delete;
    CLogFileHandle& operator=(const CLogFileHandle&) = delete;

    int Fd() const { return m_fd; }

    // Closes now, so that a late write failure is reported; 0 or errno.
    int Close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int m_fd;
};

// Exclusive access, so that two stations sharing one log do not interleave their lines.
// 0 or errno.
int LockExclusive(int fd) {
    for (int waited = 0;; waited += kLockPollMs) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return errno;
        if (waited >= kLockWaitMs) return EWOULDBLOCK;
        QThread::msleep(kLockPollMs);
    }
}

// Counts the lines of the file from the start; a last line without line end counts too.
// 0 or errno.
int CountLines(int fd, LogLineCount& count) {
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) break;
        count.Add(buffer, static_cast<size_t>(got));
    }
    return 0;
}

int WriteAll(int fd, const QByteArray& data) {
    const char* next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        next += written;
        left -= written;
    }
    return 0;
}

// Appends data at end and makes it durable; on any failure cuts the file back to end, so that
// no fragment shifts the numbers of later entries. 0 or errno.
int AppendWhole(int fd, off_t end, const QByteArray& data) {
    int error = WriteAll(fd, data);
    if (error == 0 && ::fdatasync(fd) != 0) error = errno;
    if (error != 0) {
        // Best effort: when even this fails, the next attempt counts the fragment as a line.
        while (::ftruncate(fd, end) != 0 && errno == EINTR) {
        }
    }
    return error;
}

}  // namespace

void LogLineCount::Add(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        // A line counts from its first byte; its end closes it.
        if (!endsOpen) ++lines;
        endsOpen = data[i] != '\n';
    }
}

QByteArray LogEntryBytes(const LogLineCount& count, const QString& line) {
    QString text;
    if (count.endsOpen) text = QStringLiteral("\n");  // the new entry starts on its own line
    text += QString::asprintf("%6d\t", count.lines + 1) + line;
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text.toUtf8();
}

QString BuildLogLine(int format, int facility, const QString& customer, const QString& text,
                     int chipType, const QString& uid, const QDateTime& when) {
    const QString formatName =
        IsCardFormat(format) ? QString::fromLatin1(kCardFormats[format].logName) : QString();
    QString line = when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + QLatin1Char('\t');
    line += formatName + QLatin1Char(',') + QString::number(facility) + QLatin1Char(',') +
            customer + QLatin1Char(',') + text + QLatin1Char(' ');
    line += ChipName(chipType);
    if (LogsChipId(chipType)) line += QLatin1Char('\t') + uid;
    line += QLatin1Char('\n');
    return line;
}

void AddErrorLog(QString& errorLog, const QString& kind, int attempt, const QString& line,
                 const QString& errorText) {
    errorLog += kind + QString::asprintf(" Retry:%d ", attempt) + errorText + QStringLiteral(" | ") +
                line;
    while (errorLog.endsWith(QLatin1Char('\n'))) errorLog.chop(1);
    errorLog += QStringLiteral("\r\n");
}

QString SystemFileErrorText(int error, const QString& path) {
    const QString text = QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ") + path;
    return text.left(kMaxErrorTextLength);
}

bool AppendLogLine(const QString& path, const QString& line, QString& errorLog,
                   const FileErrorText& errorText) {
    if (path.isEmpty()) return true;
    const QByteArray nativePath = QFile::encodeName(path);
    for (int attempt = 0; attempt < kLogAttempts; ++attempt) {
        CLogFileHandle file(nativePath);
        if (file.Fd() < 0) {
            AddErrorLog(errorLog, kOpenError, attempt, line, errorText(errno, path));
            continue;
        }
        // Another station holding the file is what a refused shared open is elsewhere.
        if (const int error = LockExclusive(file.Fd())) {
            AddErrorLog(errorLog, kOpenError, attempt, line, errorText(error, path));
            continue;
        }
        LogLineCount count;
        int error = CountLines(file.Fd(), count);
        off_t end = -1;
        if (error == 0 && (end = ::lseek(file.Fd(), 0, SEEK_END)) < 0) error = errno;
        if (error == 0) error = AppendWhole(file.Fd(), end, LogEntryBytes(count, line));
        if (error != 0) {
            AddErrorLog(errorLog, kReadWriteError, attempt, line, errorText(error, path));
            continue;
        }
        // The line is on the disk; a retry now would log the card twice.
        if (const int closeError = file.Close())
            AddErrorLog(errorLog, kCloseError, attempt, line,
                        errorText(closeError, path) + QStringLiteral(" (written, state uncertain)"));
        return true;
    }
    return false;
}

}  // namespace station
