#include "station/register/SpreadsheetCell.h"

namespace station {

namespace {

constexpr QChar kTextMark = QLatin1Char('\'');

}  // namespace

bool NeedsTextMark(const QString& cell) {
    if (cell.isEmpty()) return false;
    switch (cell.front().unicode()) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r':
        case '\'':  // marked too, so that the mark reads back unambiguously
            return true;
        default:
            return false;
    }
}

QString SpreadsheetText(const QString& cell) {
    return NeedsTextMark(cell) ? kTextMark + cell : cell;
}

QString FromSpreadsheetText(const QString& text) {
    return text.startsWith(kTextMark) ? text.mid(1) : text;
}

QString CsvField(const QString& cell, QChar separator) {
    const bool marked = NeedsTextMark(cell);
    const QString text = SpreadsheetText(cell);
    if (!marked && !text.contains(separator) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace station
