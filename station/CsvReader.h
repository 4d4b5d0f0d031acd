// A CSV file as people's spreadsheets save it: the bytes turned into text (UTF-8 with or
// without byte order mark, else Windows-1252), the separator found in the header line, and
// quoted fields that may hold separators, doubled quotes and line breaks. A parser of bytes
// only, so that every import reads files the same way and it can be fuzzed.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace station {

enum class CsvEncoding {
    Detect,       // UTF-8 when the bytes are valid UTF-8, else Windows-1252
    Utf8,         // a byte order mark at the start is dropped
    Windows1252,  // the single-byte code of older spreadsheets
};

struct CsvReadOptions {
    CsvEncoding encoding = CsvEncoding::Detect;
    QChar separator = QChar();  // null: detected from the header line
};

// One record; line is the file's line (from 1) it starts on, since a quoted field may span
// several lines.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};

struct CsvError {
    enum class Kind {
        None,
        UnclosedQuote,  // line: where the quoted field opened
    };
    Kind kind = Kind::None;
    int line = 0;
};

struct CsvTable {
    CsvEncoding encoding = CsvEncoding::Utf8;  // as read (never Detect)
    bool byteOrderMark = false;                // the UTF-8 text began with one
    QChar separator;
    std::vector<CsvRecord> records;  // blank lines left out; the header is the first record
    // Detect read as Windows-1252 a file whose other lines carry UTF-8 letters: the lines
    // (from 1) that are not UTF-8. Such a file reads wrong on every line with an umlaut, so
    // a front warns with these.
    std::vector<int> brokenUtf8Lines;
};

// The lines (from 1; CR LF, CR and LF each end one) whose bytes are not UTF-8, when other
// lines carry UTF-8 letters; empty for a file of single-byte text throughout.
std::vector<int> BrokenUtf8Lines(const QByteArray& bytes);

// The bytes as text in the requested encoding; with Detect, used tells which one was taken.
QString DecodeCsvBytes(const QByteArray& bytes, CsvEncoding requested, CsvEncoding& used,
                       bool& byteOrderMark);

// The one of ';', ',' and tab that occurs most often in the first line outside quotes; ';'
// when there is none (a file of one column), and on a tie in that order.
QChar DetectCsvSeparator(QStringView text);

// Reads the whole file. False with error when a quote is never closed; table then holds the
// records before the broken one.
bool ReadCsv(const QByteArray& bytes, const CsvReadOptions& options, CsvTable& table,
             CsvError& error);

// Reads text that is already decoded, with the given separator.
bool ParseCsvText(QStringView text, QChar separator, std::vector<CsvRecord>& records,
                  CsvError& error);

}  // namespace station
