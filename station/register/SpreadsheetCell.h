// A CSV cell a spreadsheet would read as a formula ("=HYPERLINK(...)", "+1", "-1", "@SUM")
// runs when the file is opened, even from inside quotes. Such a cell is written with a
// leading apostrophe, which spreadsheets show as text and drop from the value; a cell that
// starts with an apostrophe gets one more, so that reading the file back is exact.
#pragma once

#include <QString>

namespace station {

// True for a cell written with the apostrophe.
bool NeedsTextMark(const QString& cell);
// The cell as the file holds it: with the apostrophe where needed, else unchanged.
QString SpreadsheetText(const QString& cell);
// The reverse of SpreadsheetText: the cell as it was before writing.
QString FromSpreadsheetText(const QString& text);
// A CSV field (RFC 4180): in quotes where it holds a separator, a quote or a line break
// (quotes doubled), and a cell a spreadsheet would take for a formula keeps its text (free
// text any station or personnel list may write).
QString CsvField(const QString& cell, QChar separator);

}  // namespace station
