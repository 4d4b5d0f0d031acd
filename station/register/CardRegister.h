// The card register: one row per written card in a database that every write goes through,
// so that a badge office can tell which chip carries a number and since when, and so that a
// number is never issued twice by mistake, also by several stations sharing one register.
// An SQLite file in the user's data location by default, PostgreSQL for several stations,
// both through Qt SQL with the same schema. A card's number is reserved (a row in state
// "reserved", committed) before the chip is written and confirmed after the write and its
// verification. A reservation is released only when no write command reached the chip; a
// card whose write went out but failed or did not verify keeps its number as "unverified",
// since the chip may carry it. A unique index on the card as it reaches the chip among the
// rows that are not deliberate re-issues lets the database itself refuse a second card with
// the same number. Every change of a card is appended to a history that is never rewritten.
// Single-threaded: one register object belongs to the thread that made it (Qt SQL's rule),
// unless RunCallsOnThread gives its calls a thread of their own.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>
#include <type_traits>
#include <vector>

#include "station/RunView.h"
#include "station/register/RegisterPtr.h"

class QSqlDatabase;

namespace station {

struct Holder;
struct HolderFilter;
struct HolderImportRow;
struct HolderImportPlan;
class CRegisterThread;

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
    // PostgreSQL's TLS: a sslmode word (empty: the client library's default or PGSSLMODE)
    // and the certificate authority's file for verify-ca/verify-full (empty: its default).
    QString sslMode;
    QString sslRootCert;
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
// "PostgreSQL"), "File", "Host", "Port", "Name", "User", "SslMode", "SslRootCert" and
// "NextFree" (1/0). value gives a key's text or the default; a value that does not read
// keeps the default and is named in unreadable.
using SettingText = std::function<QString(const QString& key, const QString& defaultValue)>;
RegisterSettings RegisterSettingsFrom(const SettingText& value);

// Why a card was revoked; stored as "lost", "stolen", "returned", "destroyed".
enum class RevokeReason { Lost, Stolen, Returned, Destroyed };

QString RevokeReasonText(RevokeReason reason);
// A stored word or lfprog's --reason (any case); nullopt for anything else.
std::optional<RevokeReason> RevokeReasonFromText(const QString& text);

// A card the register holds. Its life:
//   reserved   -> written / unverified (the write went out), or the row goes (released:
//                 no write command reached the chip), or revoked (destroyed) when resolved so
//   written    -> revoked (with a reason), replaced (a re-issue or an overwrite took its place)
//   unverified -> written (read back later), revoked, replaced, or goes when resolved released
//   revoked, replaced: final; their number stays held, only a re-issue writes it again.
// Every state but a released one holds the number: "next free number" never hands it out.
struct RegisterEntry {
    enum class State { Reserved, Written, Unverified, Replaced, Revoked };

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
    // A revoked card's reason word (RevokeReasonText), else a re-issue's reason as given.
    QString reason;
    std::int64_t replaces = 0;    // the row this re-issue replaces, 0: none
    std::int64_t replacedBy = 0;  // the row that replaced this card, 0: none
    // UTC: when it was reserved, then when it was written; on PostgreSQL the server's clock.
    QDateTime time;
    QString station;       // host name
    QString operatorName;  // login name
    QString programVersion;
    std::int64_t holder = 0;  // the holder's row, 0: issued to nobody
};

// One change of a card, appended to the register's history and never changed afterwards.
// kind is one of "reserved", "written", "verified", "unverified", "reissued", "replaced",
// "revoked", "released", "resolved", "issued to" (reason "holder <row id>": the person's data
// stays in the holders table). reason: a revoke's reason word, the reason given for a
// re-issue or an overwrite ("reissued", "replaced"), "confirmed"/"released"/"destroyed" for
// "resolved".
struct RegisterEvent {
    std::int64_t id = 0;
    std::int64_t cardId = 0;  // the row; a released row is gone, its events stay
    QString kind;
    QDateTime time;  // UTC; on PostgreSQL the server's clock
    QString station;
    QString operatorName;
    QString reason;
    QString uid;  // the chip identification the change names, if any
};

// The changes the register makes to a card; RefusedChange tells which ones its state allows.
enum class CardChange {
    Confirm,           // reserved -> written (again on written: nothing changes)
    HoldUnverified,    // reserved -> unverified
    Release,           // reserved -> gone
    Reissue,           // any state but reserved -> a new card replaces it
    Replace,           // written, unverified -> replaced (an overwrite of its chip)
    Revoke,            // written, unverified -> revoked
    ResolveConfirmed,  // reserved, unverified -> written (its chip was read back)
    ResolveReleased,   // reserved, unverified -> gone, recorded
    ResolveDestroyed,  // reserved, unverified -> revoked (destroyed), the number stays held
};

// Why card may not take change, in the operator's words ("4711 is revoked (lost); only a
// re-issue writes it again"); empty when the change is allowed.
QString RefusedChange(const RegisterEntry& card, CardChange change);

// What the register window and "lfprog register list" show; empty members do not filter.
struct RegisterFilter {
    std::optional<std::int64_t> number;
    QString uid;  // part of the chip identification, any case
    QDate from;   // UTC dates, both inclusive
    QDate to;
    // Exact bounds, such as the operator's local days: since inclusive, until exclusive.
    QDateTime since;
    QDateTime until;
    // A page: at most limit rows (0: all); with after, only the rows listed after that one
    // (older, or as old with a smaller id), so that every page costs what the first did.
    int limit = 0;
    struct Position {
        QDateTime time;
        std::int64_t id = 0;
    };
    std::optional<Position> after;
};

// How a CSV file is laid out: German spreadsheets split columns at ';' and read a file
// without a byte-order mark in the local 8-bit code page.
struct CsvOptions {
    QChar separator = QLatin1Char(',');
    bool byteOrderMark = false;  // UTF-8's, at the start
};

enum class ReserveResult {
    Reserved,
    Duplicate,   // the number was issued before (earlier names the card)
    InProgress,  // a re-issue of a card only reserved: another station is writing it
                 // (earlier names the reservation and its station)
    Exhausted,   // next free number: none up to the limit
    Failed,      // the register cannot record (LastError says why)
    // CardRecord::holderMustBeWithoutCard: the holder has a reserved, written or unverified
    // card already (a series over people then takes the next holder).
    HolderHasCard,
};

// A card that a new card takes the place of once the new one is confirmed (or held
// unverified): the card the chip carried (an overwrite), the holder's card that did not
// verify, the holder's lost card. reason goes into its "replaced" event.
struct EarlierCard {
    std::int64_t rowId = 0;
    QString reason;
};

struct ImportSource;
struct ImportReport;

class CCardRegister {
  public:
    CCardRegister(RegisterSettings settings, QString programVersion);
    ~CCardRegister();
    CCardRegister(const CCardRegister&) = delete;
    CCardRegister& operator=(const CCardRegister&) = delete;

    const RegisterSettings& Settings() const { return m_settings; }

    // From now on every call runs on a thread of the register's own, on a connection of that
    // thread, while the caller waits at most timeout and runs pump between short waits (its
    // event loop; empty: none). A call that does not answer in time fails with that reason
    // and is abandoned; later calls fail at once until it returns. Delete the register
    // through RegisterDeleter then, which waits for no stuck call. Every public member
    // starts with the line
    //     if (Away()) return Elsewhere([this](auto&... a) { return Member(a...); }, args...);
    // so that it runs on the thread (its out parameters are copied back).
    void RunCallsOnThread(std::chrono::milliseconds timeout, std::function<void()> pump);

    // Connects, creates or migrates the schema; false with LastError() when it cannot. Every
    // other call opens the register first when it is not open, so a server that came back
    // is used again.
    bool Open();
    bool IsOpen() const;
    // Why the last call failed, in the database's own words.
    QString LastError() const;
    // What the last open found amiss but could work with, such as a register other accounts
    // can read (with the command that fixes it); empty when nothing.
    QString LastWarning() const;

    // Where the register is, for the operator: "file /path/register.sqlite" or
    // "PostgreSQL user@host:port/database".
    QString Where() const;

    // The card issued earlier with these fields that is not a re-issue, if any.
    std::optional<RegisterEntry> FindIssued(int format, const CardFields& fields);

    // Reserves card's number before its chip is written: a row in state Reserved with the
    // card, lock and time. A card is the bits that reach the chip: the same card under two
    // format names (26 Bit and 26 Bit Huge) is one card. A number the register holds in any
    // state gives Duplicate with earlier, the card's valid row or else its newest one. rowId
    // receives the row to confirm or release.
    ReserveResult Reserve(const CardRecord& card, bool locked, std::int64_t& rowId,
                          std::optional<RegisterEntry>& earlier);
    // Reserves a deliberate re-issue of the card held in row replaces (the earlier row the
    // operator confirmed replacing), with the reason given. Refused with InProgress when the
    // card's newest row is only reserved (earlier names it and its station), with Duplicate
    // when another card took replaces' place meanwhile (earlier names it), with Failed when
    // replaces is no card of this number or its state allows no re-issue (LastError says
    // why). Once the new card is confirmed or held unverified, replaces becomes Replaced
    // (a revoked card stays revoked), both linked.
    ReserveResult ReserveReissue(const CardRecord& card, bool locked, std::int64_t replaces,
                                 const QString& reason, std::int64_t& rowId,
                                 std::optional<RegisterEntry>& earlier);
    // Reserves the smallest free number from start up to limit for the card's format and
    // facility code and sets card.fields.number (and card.customer) to it. Every number the
    // register holds in any state is skipped.
    ReserveResult ReserveNextFree(CardRecord& card, bool locked, std::int64_t start,
                                  std::int64_t limit, std::int64_t& rowId);
    // The chip was written (and verified when asked): the row becomes Written, with the
    // write's time and the chip identification. In the same transaction each earlier card
    // (and a re-issue's earlier row) still valid becomes Replaced, linked to it; one that is
    // no longer valid (revoked meanwhile) stays as it is. So either both or nothing change.
    bool Confirm(std::int64_t rowId, bool verified, const QString& uid,
                 const std::vector<EarlierCard>& earlier = {});
    // The write went out to the chip but failed or did not verify: the chip may carry the
    // number, so the row keeps it as Unverified (with the chip identification when known),
    // and the earlier cards are replaced as by Confirm.
    bool HoldUnverified(std::int64_t rowId, const QString& uid,
                        const std::vector<EarlierCard>& earlier = {});
    // No write command reached the chip: the reservation goes (recorded as "released").
    bool Release(std::int64_t rowId);

    // The rows that pass the filter, newest first.
    std::optional<std::vector<RegisterEntry>> List(const RegisterFilter& filter);
    // How many rows pass the filter (its limit and after aside); nullopt when the register
    // cannot answer. Counting reads every row that passes: for a window's total, not per card.
    std::optional<std::int64_t> Count(RegisterFilter filter);
    // Writes the rows that pass the filter as CSV (WriteRegisterCsv's layout, newest first) a
    // page at a time from one read snapshot, so that memory stays flat at any size and a card
    // confirmed meanwhile is neither missed nor written twice; the filter's limit and after are
    // the export's own. progress is told the rows written after each page and stops the export
    // by returning false. rows receives the count written; false with LastError when the
    // register cannot answer, the stream cannot be written or progress stopped it.
    bool ExportCsv(QTextStream& out, const RegisterFilter& filter, const CsvOptions& options,
                   std::int64_t& rows,
                   const std::function<bool(std::int64_t rows)>& progress = {});

    // The valid card (written or unverified) whose chip identification is uid, if any:
    // a chip that carries a card of the register. False with LastError when the register
    // cannot answer, so that "no card" and "no answer" never look alike.
    bool FindValidByUid(const QString& uid, std::optional<RegisterEntry>& valid);
    // The cards of this number (under either format name of its layout): the valid one
    // first, then the others (replaced, revoked, reserved) newest first; empty when the
    // register holds none, nullopt when it cannot answer.
    std::optional<std::vector<RegisterEntry>> FindCard(int format, const CardFields& fields);

    // The operator confirmed writing row newRowId over the chip of the valid card oldRowId:
    // oldRowId becomes Replaced, linked to newRowId, with the reason.
    bool MarkReplaced(std::int64_t oldRowId, std::int64_t newRowId, const QString& reason);
    // A written or unverified card is revoked; its number stays held.
    bool Revoke(std::int64_t rowId, RevokeReason reason);
    // An unconfirmed reservation (or unverified card) resolved by the operator: its chip was
    // read back and carries the card (becomes Written, verified, with the chip's uid); or
    // released deliberately (the row goes, the history keeps it); or destroyed (becomes
    // Revoked with reason destroyed, the number stays held).
    bool ResolveConfirmed(std::int64_t rowId, const QString& uid);
    bool ResolveReleased(std::int64_t rowId);
    bool ResolveDestroyed(std::int64_t rowId);

    // A card's history, oldest first: every event of every row of this number (under either
    // format name), or of one row; nullopt when the register cannot answer.
    std::optional<std::vector<RegisterEvent>> History(int format, const CardFields& fields);
    std::optional<std::vector<RegisterEvent>> History(std::int64_t rowId);

    // Copies an SQLite register, while stations write into it, into file: one consistent
    // snapshot with the write-ahead log's rows, a database of its own (mode 0600) that opens
    // as a register. An existing file is refused unless replace; it is then replaced only
    // once the copy is complete. False with LastError, also for a PostgreSQL register (its
    // server's pg_dump makes the copy).
    bool BackupTo(const QString& file, bool replace);

    // Holders (station/register/Holders.h). The holders passing the filter, in the list's
    // order (import order: by id).
    std::optional<std::vector<Holder>> Holders(const HolderFilter& filter);
    // False with LastError when the register cannot answer; holder empty when none.
    bool FindHolder(const QString& personnelNumber, std::optional<Holder>& holder);
    bool FindHolder(std::int64_t id, std::optional<Holder>& holder);
    std::optional<QStringList> Departments();
    // Adds (id 0, id set afterwards) or changes a holder; a personnel number another holder
    // has is refused with LastError.
    bool SaveHolder(Holder& holder);
    // Every card the holder was ever given, newest first.
    std::optional<std::vector<RegisterEntry>> HolderCards(std::int64_t holderId);
    // Plans and (unless dryRun) applies an import in one transaction: all or nothing. Any
    // refused row makes the whole import refused: false with LastError, plan.refused names
    // the lines, nothing stored (also false when the register cannot answer, plan empty).
    // markMissingLeft: holders still here whom no row names are marked as left, now.
    // Applying the same rows twice changes nothing; an empty notes cell keeps the notes.
    bool ImportHolders(const std::vector<HolderImportRow>& rows, bool markMissingLeft,
                       bool dryRun, HolderImportPlan& plan);

    // Exports for the access-control system, written row by row (spreadsheet-safe cells):
    // the valid cards with their holders (personnel number, name, department, format,
    // facility code, number, valid since) and the block list of revoked cards (format,
    // facility code, number, revoked since, reason). False with LastError.
    bool WriteValidCardsCsv(QTextStream& out, const CsvOptions& options);
    bool WriteBlockListCsv(QTextStream& out, const CsvOptions& options);

    // Adds the source's cards (RegisterImport.h) in one transaction: a card whose number the
    // register holds already is left out and listed in report, so a second import of the same
    // source adds nothing. Row links and history are renumbered to the new rows. Other
    // stations wait while it runs. False with LastError, nothing added.
    bool Import(const ImportSource& source, ImportReport& report);

  private:
    class Connection;
    friend struct RegisterDeleter;

    // True when calls go to the register's thread and this is not it.
    bool Away() const;
    // For the members that write into a stream, which cannot go to the register's thread:
    // true, with LastError saying so, when called away from it.
    bool RefusedAway(const QString& operation);
    // Runs call on the register's thread with copies of args, so that a call abandoned after
    // its timeout touches nothing of its caller; the non-const ones are copied back. A call
    // that did not run or return in time gives the type's failure (false, nullopt, Failed).
    template <class Call, class... Args>
    auto Elsewhere(Call call, Args&... args);
    // Runs call on the thread and takes over its error, warning and open state; false with
    // the reason in LastError when it did not return in time.
    bool RunElsewhere(std::function<void()> call);

    // Changes one card in a transaction: its row is read, done tells whether the change was
    // made before (a repeated call after a lost reply changes nothing), RefusedChange whether
    // the state allows it, and apply makes it. A refused change gives false with its words in
    // LastError and leaves the connection open.
    using Apply = std::function<bool(QSqlDatabase&, const RegisterEntry&, QString&)>;
    bool Change(std::int64_t rowId, CardChange change, const QString& operation, const Apply& apply,
                const std::function<bool(const RegisterEntry&)>& done = {});
    // Appends an event of the card in row to the history.
    bool Record(QSqlDatabase& db, const RegisterEntry& card, const QString& kind,
                const QString& reason, const QString& uid, QString& error);
    // Writes the header, then each row of statement as CSV (timeColumn in ISO 8601 UTC).
    bool ExportCsv(QTextStream& out, const CsvOptions& options, const QString& operation,
                   const QString& statement, const QStringList& header, int timeColumn);
    // The card's row takes the place of the earlier cards (and of the row a re-issue was
    // reserved for): each still valid becomes Replaced, a revoked one only linked, one linked
    // before is left. The rows change first, so that the card becomes valid only after them
    // (the database's index allows one valid card per number); then apply runs, then each
    // earlier card's event is recorded.
    bool TakePlaces(QSqlDatabase& db, const RegisterEntry& card,
                    const std::vector<EarlierCard>& earlier, const Apply& apply, QString& error);
    // After a failed change whose COMMIT may have reached the database (its reply lost):
    // the row of the current request's first event, looked up on a new connection.
    std::optional<std::int64_t> CommittedRequest();

    // Opens the register when it is not open; false with LastError when it cannot.
    bool Ready();
    // Records why an operation failed and drops the connection, so that the next call
    // connects again.
    bool Fail(const QString& operation, const QString& reason);
    ReserveResult Failed(const QString& operation, const QString& reason);
    // Runs statements on the open register, once more on a new connection when a connection
    // opened before fails (its server may have restarted), or always when retried (statements
    // that recognise their own earlier commit by the request id); false with LastError.
    bool Perform(const QString& operation,
                 const std::function<bool(QSqlDatabase&, QString&)>& statements,
                 bool retried = false);
    // Opens a transaction and runs attempt in it until it gives a result, a new transaction
    // for each round that another station won (attempt gives nullopt, its transaction ended);
    // bounded, lostText then says why. attempt's Failed carries its reason in error.
    // A failed round whose COMMIT reached the database all the same gives Reserved with
    // rowId (CommittedRequest).
    ReserveResult Race(
        const QString& operation, const QString& lostText, std::int64_t& rowId,
        const std::function<std::optional<ReserveResult>(QSqlDatabase&, QString&)>& attempt);

    RegisterSettings m_settings;
    QString m_programVersion;
    QString m_station;   // host name
    QString m_operator;  // login name
    // The change running now, stored with its events (RegisterEvents.h, NewRequestId).
    QString m_request;
    std::unique_ptr<Connection> m_connection;
    QString m_lastError;
    // With a thread of calls: it, and what the caller saw of the last call (the members
    // above belong to the thread then).
    std::unique_ptr<CRegisterThread> m_calls;
    QString m_callerError;
    QString m_callerWarning;
    bool m_callerOpen = false;
};

// An out parameter of a call run elsewhere takes the value the call left in its copy.
template <class Target, class Source>
void CopyBack(Target& target, Source& source) {
    if constexpr (!std::is_const_v<Target>) target = std::move(source);
}

template <class Call, class... Args>
auto CCardRegister::Elsewhere(Call call, Args&... args) {
    using Result = decltype(call(std::declval<std::decay_t<Args>&>()...));
    struct Job {
        std::tuple<std::decay_t<Args>...> args;
        std::optional<Result> result;
    };
    auto job = std::make_shared<Job>(Job{{args...}, std::nullopt});
    if (!RunElsewhere([job, call] { job->result = std::apply(call, job->args); })) {
        if constexpr (std::is_same_v<Result, ReserveResult>) {
            return ReserveResult::Failed;
        } else {
            return Result{};
        }
    }
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (CopyBack(args, std::get<I>(job->args)), ...);
    }
    (std::index_sequence_for<Args...>{});
    return std::move(*job->result);
}

// A state's stored word ("reserved", "written", "unverified", "replaced", "revoked") and back;
// a word this program does not know reads as Reserved, a card that is held but not confirmed.
QString StateText(RegisterEntry::State state);
RegisterEntry::State StateFromText(const QString& text);

// A card's holder row -> the holder's personnel number, for the CSV's last column.
using PersonnelNumbers = QHash<std::int64_t, QString>;

// The rows as CSV (RFC 4180, a header line, UTC times in ISO 8601).
void WriteRegisterCsv(QTextStream& out, const std::vector<RegisterEntry>& entries,
                      const CsvOptions& options = {}, const PersonnelNumbers& holders = {});
// The same in parts, for a file written a page at a time: the byte-order mark when asked and
// the header line, then the rows' lines.
void WriteRegisterCsvHeader(QTextStream& out, const CsvOptions& options);
void WriteRegisterCsvRows(QTextStream& out, const std::vector<RegisterEntry>& entries,
                          const CsvOptions& options, const PersonnelNumbers& holders = {});

}  // namespace station
