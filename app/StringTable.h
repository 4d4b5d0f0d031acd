// Every text the operator sees comes from the string table by its numeric id. The German
// table is built in; the English language file translates it entry by entry.
#pragma once

#include <QByteArray>
#include <QString>

// The text of id in the current language, or "" for an id the table does not have.
QString LoadString(int id);

// A table text as a printf format: the Windows spellings %I64d, %I64u and %I64X of 64-bit
// values become %lld, %llu and %llX.
QByteArray PrintfFormat(const QString& format);

// printf-style formatting of a table text. Strings are passed as UTF-8 char pointers.
template <typename... Args>
QString FormatMessage(const QString& format, Args... args) {
    return QString::asprintf(PrintfFormat(format).constData(), args...);
}
