#include "station/CsvReader.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>

namespace station {

namespace {

// 0x80..0x9F of Windows-1252; the five unassigned bytes keep their C1 code points, as web
// browsers read them, so that no byte is lost.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        *out++ = value >= 0x80 && value < 0xA0 ? QChar(kWindows1252High[value - 0x80])
                                               : QChar(static_cast<char16_t>(value));
    }
    return text;
}

bool IsLineBreak(QChar c) {
    return c == u'\n' || c == u'\r';
}

// The length of the line break at text[i] (CR LF counts as one).
qsizetype LineBreakLength(QStringView text, qsizetype i) {
    return text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
}

}  // namespace

std::vector<int> BrokenUtf8Lines(const QByteArray& bytes) {
    std::vector<int> lines;
    bool utf8Letters = false;  // a line with bytes above ASCII that reads as UTF-8
    int line = 1;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i <= size; ++i) {
        const bool end = i == size || bytes[i] == '\n' || bytes[i] == '\r';
        if (!end) continue;
        const QByteArrayView text = QByteArrayView(bytes).sliced(start, i - start);
        QStringDecoder decoder(QStringDecoder::Utf8);
        (void)decoder.decode(text);
        if (decoder.hasError()) {
            lines.push_back(line);
        } else if (std::any_of(text.begin(), text.end(),
                               [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            utf8Letters = true;
        }
        if (i + 1 < size && bytes[i] == '\r' && bytes[i + 1] == '\n') ++i;
        start = i + 1;
        ++line;
    }
    // A file of single-byte text throughout is a Windows-1252 file, read right.
    if (!utf8Letters) lines.clear();
    return lines;
}

QString DecodeCsvBytes(const QByteArray& bytes, CsvEncoding requested, CsvEncoding& used,
                       bool& byteOrderMark) {
    byteOrderMark = false;
    if (requested == CsvEncoding::Windows1252) {
        used = CsvEncoding::Windows1252;
        return DecodeWindows1252(bytes);
    }
    QByteArrayView body(bytes);
    if (body.startsWith("\xEF\xBB\xBF")) {
        byteOrderMark = true;
        body = body.sliced(3);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(body);
    // A byte order mark says UTF-8 even when some bytes are broken: those become U+FFFD.
    if (requested == CsvEncoding::Detect && decoder.hasError() && !byteOrderMark) {
        used = CsvEncoding::Windows1252;
        return DecodeWindows1252(bytes);
    }
    used = CsvEncoding::Utf8;
    return text;
}

QChar DetectCsvSeparator(QStringView text) {
    constexpr std::array<char16_t, 3> candidates = {u';', u'\t', u','};
    std::array<int, 3> counts = {};
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            quoted = !quoted;  // a doubled quote toggles twice
        } else if (!quoted && IsLineBreak(c)) {
            break;
        } else if (!quoted) {
            for (size_t k = 0; k < candidates.size(); ++k) counts[k] += c == candidates[k];
        }
    }
    size_t best = 0;
    for (size_t k = 1; k < candidates.size(); ++k) {
        if (counts[k] > counts[best]) best = k;
    }
    return QChar(candidates[best]);
}

bool ParseCsvText(QStringView text, QChar separator, std::vector<CsvRecord>& records,
                  CsvError& error) {
    error = {};
    int line = 1;
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size) {
        if (IsLineBreak(text[i])) {  // a blank line
            i += LineBreakLength(text, i);
            ++line;
            continue;
        }
        CsvRecord record;
        record.line = line;
        QString field;
        bool recordEnded = false;
        while (!recordEnded) {
            if (i < size && text[i] == u'"') {
                // A quoted field: up to the quote that is not doubled; text after it up to the
                // separator is kept as written, as spreadsheets do.
                const int openedOn = line;
                ++i;
                bool closed = false;
                while (i < size) {
                    const QChar c = text[i];
                    if (c == u'"') {
                        if (i + 1 < size && text[i + 1] == u'"') {
                            field += u'"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (IsLineBreak(c)) {
                        i += LineBreakLength(text, i);
                        ++line;
                        field += u'\n';
                        continue;
                    }
                    field += c;
                    ++i;
                }
                if (!closed) {
                    error.kind = CsvError::Kind::UnclosedQuote;
                    error.line = openedOn;
                    return false;
                }
            }
            while (i < size && text[i] != separator && !IsLineBreak(text[i])) field += text[i++];
            record.fields.append(field);
            field.clear();
            if (i < size && text[i] == separator) {
                ++i;  // another field follows, empty when the line ends here
            } else {
                if (i < size) {
                    i += LineBreakLength(text, i);
                    ++line;
                }
                recordEnded = true;
            }
        }
        records.push_back(std::move(record));
    }
    return true;
}

bool ReadCsv(const QByteArray& bytes, const CsvReadOptions& options, CsvTable& table,
             CsvError& error) {
    table = {};
    const QString text =
        DecodeCsvBytes(bytes, options.encoding, table.encoding, table.byteOrderMark);
    // A UTF-8 file read as Windows-1252 because of a few broken bytes: the lines to mend
    // (every "ü" of the file's other lines reads as "Ã¼").
    if (options.encoding == CsvEncoding::Detect && table.encoding == CsvEncoding::Windows1252)
        table.brokenUtf8Lines = BrokenUtf8Lines(bytes);
    table.separator = options.separator.isNull() ? DetectCsvSeparator(text) : options.separator;
    return ParseCsvText(text, table.separator, table.records, error);
}

}  // namespace station
