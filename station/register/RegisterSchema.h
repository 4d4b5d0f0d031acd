// The card register's tables, the same on SQLite and PostgreSQL: "cards" with one row per
// card the register holds, "card_events" with every change of a card (appended only),
// "holders" with the people cards are issued to, "next_free_marks" with how far a series'
// numbers are held, and "register_info" with the schema version, so that a newer program's
// register is refused instead of being written in a layout this one does not know.
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace station {

inline constexpr int kRegisterSchemaVersion = 4;

enum class RegisterDialect { SQLite, PostgreSQL };

// Refuses a database that belongs to something else or to a newer program, leaving it as it
// is; otherwise creates the tables on first use or brings an older schema up to date. False
// with error (in the database's words where it has them) when the register cannot be used.
// SQLite: a database that passed is switched to write-ahead logging before its tables are
// made, never a foreign one.
bool PrepareRegisterSchema(QSqlDatabase& db, RegisterDialect dialect, QString& error);

// The database's own words for an error, the driver's where the database said nothing.
QString DatabaseWords(const QSqlError& error);

// Qt binds a null text as NULL; the register keeps "none" as empty text.
QVariant TextValue(const QString& text);

// Runs one statement without values; false with error in the database's words.
bool RunStatement(QSqlDatabase& db, const QString& statement, QString& error);

// SQLite takes its write lock at once, so that two processes never both read and then both
// wait to write.
bool BeginTransaction(QSqlDatabase& db, RegisterDialect dialect, QString& error);
void RollbackTransaction(QSqlDatabase& db);

RegisterDialect DialectOf(const QSqlDatabase& db);

// SQL giving the current UTC time as the register stores it (ISO 8601 with milliseconds): on
// PostgreSQL the server's clock, so that the stations' clocks do not order the history.
QString NowExpression(RegisterDialect dialect);

// The row id column's definition.
QString IdColumn(RegisterDialect dialect);

// The columns version 2 adds to "cards", as in ALTER TABLE ... ADD COLUMN.
QStringList Version2CardColumns();
// The indexes and the history table of version 2, after its columns exist.
QStringList Version2Statements(RegisterDialect dialect);
// The indexes that keep listing, searching and next free number flat at any register size;
// ifNotExists is empty or "IF NOT EXISTS ".
QStringList ScaleIndexes(const QString& ifNotExists);
// The column version 3 adds to "cards" (the holder's row, 0: none), as in ADD COLUMN.
QString Version3CardColumn();
// The holders table and the indexes of version 3, after the column exists.
QStringList Version3Statements(RegisterDialect dialect);
// Version 4's history table: its time the database's own by default, the request that made
// each event (a retried change finds its own), on PostgreSQL the role that appended it. On
// SQLite the table is made anew with its rows (a column's default cannot change in place).
QStringList Version4EventStatements(RegisterDialect dialect);
// Version 4's indexes and the next free number's marks, after the history table; then
// RuleStatements (RegisterRules.h).
QStringList Version4Statements(RegisterDialect dialect);

}  // namespace station
