// The read and write logs: plain-text files with one numbered line per transponder. A line
// that cannot be written is retried and its failures are collected in an error list that
// the station shows later.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstddef>
#include <functional>

namespace station {

// Attempts per log line before the caller reports the failure.
inline constexpr int kLogAttempts = 6;

// The log line without its number: time stamp, format, facility code, customer number,
// text and chip name, then a tab and the chip identification for chip types that have one,
// ending with "\n". A format index outside the format list gives an empty format name.
QString BuildLogLine(int format, int facility, const QString& customer, const QString& text,
                     int chipType, const QString& uid, const QDateTime& when);

// Appends one entry to errorLog: kind, " Retry:<attempt> ", error text, " | ", then the line
// without the line feeds at its end, and CR LF.
void AddErrorLog(QString& errorLog, const QString& kind, int attempt, const QString& line,
                 const QString& errorText);

// The operator's text for a failure (an errno value) on the file at path.
using FileErrorText = std::function<QString(int error, const QString& path)>;

// The system's own text for a file failure, followed by the file's name.
QString SystemFileErrorText(int error, const QString& path);

// The lines of a log file, counted over its bytes in the order they are read; a last line
// without its line end counts too.
struct LogLineCount {
    int lines = 0;
    bool endsOpen = false;  // the last line has no line end
    void Add(const char* data, size_t size);
};

// The bytes appended for line after a file of that count: a line end first when the last
// line is open, the number (lines + 1) and a tab, the line, every line end as CR LF.
QByteArray LogEntryBytes(const LogLineCount& count, const QString& line);

// Appends line to the log at path as line number (lines in the file + 1), with CR LF line
// ends. An empty path writes nothing and succeeds. Each failed attempt adds an entry to
// errorLog, worded by errorText; false after kLogAttempts failures. A failed attempt leaves
// the file as it was; a written line is on the disk (fdatasync) before this returns true. A
// close failure after that still returns true, with an entry in errorLog, so that the card
// is never logged twice.
bool AppendLogLine(const QString& path, const QString& line, QString& errorLog,
                   const FileErrorText& errorText = SystemFileErrorText);

}  // namespace station
