// The card register: one row per written card in a database that every write goes through,
// so that a badge office can tell which chip carries a number and since when, and so that a
// number is never issued twice by mistake, also by several stations sharing one register.
// An SQLite file in the user's data location by default, PostgreSQL for several stations,
// both through Qt SQL with the same schema. A card's number is reserved (a row in state
// "reserved", committed) before the chip is written and confirmed after the write and its
// verification. A reservation is released only when no write command reached the chip; a
// card whose write went out but failed or did not verify keeps its number as "unverified",
// since the chip may carry it. A unique index on format, facility
// code and number among the rows that are not deliberate re-issues lets the database itself
// refuse a second card with the same number.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTextStream>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "station/RunView.h"

class QSqlDatabase;

namespace station {

// Where the register lives; the station keeps it in its settings, never a password (the
// PostgreSQL client takes that from PGPASSWORD or the user's .pgpass).
struct RegisterSettings {
    enum class Kind { SQLite, PostgreSQL };

    bool enabled = true;
    Kind kind = Kind::SQLite;
    QString file;  // SQLite: the database file; empty: DefaultRegisterFile()
    QString host = QStringLiteral("localhost");
    int port = 5432;
    QString database = QStringLiteral("orvex");
    QString user;  // empty: the login name
    // A series takes each number from the register: the smallest free number from the
    // series' start value, so that stations sharing one register interleave without gaps.
    bool nextFree = false;
    // Set when a key's value does not read ("Database=Postgres", "Enabled=yes"): the register
    // then refuses to open with this reason rather than record into a register not meant.
    QString unreadable;
};

// "register.sqlite" in the station's data location ("Qor Applikationen/Orvex-FSK" in the
// user's data folder), the same for the station and the command line.
QString DefaultRegisterFile();
// The SQLite file the settings name: their file, else DefaultRegisterFile().
QString RegisterFile(const RegisterSettings& settings);

// The settings' section "Register" with the keys "Enabled" (1/0), "Database" ("SQLite" or
// "PostgreSQL"), "File", "Host", "Port", "Name", "User" and "NextFree" (1/0). value gives a
// key's text or the default; a value that does not read keeps the default and is named in
// unreadable.
using SettingText = std::function<QString(const QString& key, const QString& defaultValue)>;
RegisterSettings RegisterSettingsFrom(const SettingText& value);

// A card the register holds.
struct RegisterEntry {
    enum class State { Reserved, Written, Unverified };

    std::int64_t id = 0;
    int format = 0;    // index into kCardFormats (stored as the format's command name)
    int chipType = 0;  // SDK chip type code (stored as the chip's command name)
    // The format and chip as stored: a row from a newer program may name ones this program
    // does not know (format then is -1), and is shown and exported with these words.
    QString formatText;
    QString chipText;
    CardFields fields;
    QString uid;  // the chip identification, empty where the chip has none
    bool locked = false;
    bool verified = false;
    bool reissue = false;  // a deliberate re-issue (a replacement card)
    State state = State::Reserved;
    QDateTime time;        // UTC: when it was reserved, then when it was written
    QString station;       // host name
    QString operatorName;  // login name
    QString programVersion;
};

// What the register window and "lfprog register list" show; empty members do not filter.
struct RegisterFilter {
    std::optional<std::int64_t> number;
    QString uid;  // part of the chip identification, any case
    QDate from;   // UTC dates, both inclusive
    QDate to;
};

enum class ReserveResult {
    Reserved,
    Duplicate,  // the number was issued before (earlier names the card)
    Exhausted,  // next free number: none up to the limit
    Failed,     // the register cannot record (LastError says why)
};

class CCardRegister {
  public:
    CCardRegister(RegisterSettings settings, QString programVersion);
    ~CCardRegister();
    CCardRegister(const CCardRegister&) = delete;
    CCardRegister& operator=(const CCardRegister&) = delete;

    const RegisterSettings& Settings() const { return m_settings; }

    // Connects, creates or migrates the schema; false with LastError() when it cannot. Every
    // other call opens the register first when it is not open, so a server that came back
    // is used again.
    bool Open();
    bool IsOpen() const;
    // Why the last call failed, in the database's own words.
    QString LastError() const;

    // The card issued earlier with these fields that is not a re-issue, if any.
    std::optional<RegisterEntry> FindIssued(int format, const CardFields& fields);

    // Reserves card's number before its chip is written: a row in state Reserved with the
    // card, lock and time. A number issued before gives Duplicate and earlier, unless reissue
    // asks for a deliberate replacement. rowId receives the row to confirm or release.
    ReserveResult Reserve(const CardRecord& card, bool locked, bool reissue, std::int64_t& rowId,
                          std::optional<RegisterEntry>& earlier);
    // Reserves the smallest free number from start up to limit for the card's format and
    // facility code and sets card.fields.number (and card.customer) to it.
    ReserveResult ReserveNextFree(CardRecord& card, bool locked, std::int64_t start,
                                  std::int64_t limit, std::int64_t& rowId);
    // The chip was written (and verified when asked): the row becomes Written, with the
    // write's time and the chip identification.
    bool Confirm(std::int64_t rowId, bool verified, const QString& uid);
    // The write went out to the chip but failed or did not verify: the chip may carry the
    // number, so the row keeps it as Unverified (with the chip identification when known).
    bool HoldUnverified(std::int64_t rowId, const QString& uid);
    // No write command reached the chip: the reservation goes.
    bool Release(std::int64_t rowId);

    // The rows that pass the filter, newest first.
    std::optional<std::vector<RegisterEntry>> List(const RegisterFilter& filter);

  private:
    class Connection;

    // Opens the register when it is not open; false with LastError when it cannot.
    bool Ready();
    // Records why an operation failed and drops the connection, so that the next call
    // connects again.
    bool Fail(const QString& operation, const QString& reason);
    ReserveResult Failed(const QString& operation, const QString& reason);
    // Runs statements on the open register, once more on a new connection when a connection
    // opened before fails (its server may have restarted); false with LastError.
    bool Perform(const QString& operation,
                 const std::function<bool(QSqlDatabase&, QString&)>& statements);
    // Opens a transaction and runs attempt in it until it gives a result, a new transaction
    // for each round that another station won (attempt gives nullopt, its transaction ended);
    // bounded, lostText then says why. attempt's Failed carries its reason in error.
    ReserveResult Race(
        const QString& operation, const QString& lostText,
        const std::function<std::optional<ReserveResult>(QSqlDatabase&, QString&)>& attempt);

    RegisterSettings m_settings;
    QString m_programVersion;
    QString m_station;   // host name
    QString m_operator;  // login name
    std::unique_ptr<Connection> m_connection;
    QString m_lastError;
};

// A state's stored word ("reserved", "written", "unverified") and back; a word this program
// does not know reads as Reserved, a card that is held but not confirmed.
QString StateText(RegisterEntry::State state);
RegisterEntry::State StateFromText(const QString& text);

// How a CSV file is laid out: German spreadsheets split columns at ';' and read a file
// without a byte-order mark in the local 8-bit code page.
struct CsvOptions {
    QChar separator = QLatin1Char(',');
    bool byteOrderMark = false;  // UTF-8's, at the start
};

// The rows as CSV (RFC 4180, a header line, UTC times in ISO 8601).
void WriteRegisterCsv(QTextStream& out, const std::vector<RegisterEntry>& entries,
                      const CsvOptions& options = {});

}  // namespace station
