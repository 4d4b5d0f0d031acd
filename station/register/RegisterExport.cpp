// The register as CSV a page at a time. A list of every row would hold the whole register in
// memory (a million cards are hundreds of megabytes); pages along the (time, id) index keep
// memory flat, and one read transaction around them keeps the pages one snapshot while
// stations go on writing (a card confirmed meanwhile moves to a newer time and would otherwise
// be missed by the pages still to come).
#include <QSqlDatabase>
#include <QSqlQuery>

#include "station/register/CardRegister.h"
#include "station/register/RegisterConnection.h"
#include "station/register/RegisterRows.h"
#include "station/register/RegisterSchema.h"

namespace station {

namespace {

constexpr int kPageRows = 1000;

// A reader's snapshot: SQLite's read transaction in WAL mode blocks no station; PostgreSQL's
// repeatable read sees the rows as they were at its first statement.
QString BeginSnapshot(RegisterDialect dialect) {
    return dialect == RegisterDialect::SQLite
               ? QStringLiteral("BEGIN")
               : QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
}

// The personnel numbers of the page's holders not looked up yet (a site has a few thousand
// people; each is read once per export).
bool AddPersonnelNumbers(QSqlDatabase& db, const std::vector<RegisterEntry>& entries,
                         PersonnelNumbers& numbers, QString& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT personnel_number FROM holders WHERE id = ?"));
    for (const RegisterEntry& entry : entries) {
        if (entry.holder == 0 || numbers.contains(entry.holder)) continue;
        query.addBindValue(static_cast<qlonglong>(entry.holder));
        if (!query.exec()) {
            error = DatabaseWords(query.lastError());
            return false;
        }
        numbers.insert(entry.holder, query.next() ? query.value(0).toString() : QString());
        query.finish();
    }
    return true;
}

}  // namespace

bool CCardRegister::RefusedAway(const QString& operation) {
    if (!Away()) return false;
    // A stream cannot be handed to the register's thread; these exports run on a register of
    // the caller's own thread (the window's export job and lfprog make one).
    m_callerError = QStringLiteral("Cannot %1: the card register %2 runs its calls on a thread "
                                   "of its own; a file export needs a register of its caller's "
                                   "thread")
                        .arg(operation, Where());
    return true;
}

bool CCardRegister::ExportCsv(QTextStream& out, const RegisterFilter& filter,
                              const CsvOptions& options, std::int64_t& rows,
                              const std::function<bool(std::int64_t rows)>& progress) {
    rows = 0;
    const QString operation = QStringLiteral("export the cards");
    if (RefusedAway(operation)) return false;
    if (!Ready()) return false;
    QSqlDatabase db = m_connection->Database();
    QString error;
    if (!RunStatement(db, BeginSnapshot(m_connection->Dialect()), error))
        return Fail(operation, error);
    auto stop = [&](const QString& reason) {
        RollbackTransaction(db);
        m_lastError = reason;
        return false;
    };

    WriteRegisterCsvHeader(out, options);
    RegisterFilter page = filter;
    page.limit = kPageRows;
    page.after.reset();
    std::vector<RegisterEntry> entries;
    entries.reserve(kPageRows);
    PersonnelNumbers holders;
    for (;;) {
        entries.clear();
        if (!SelectEntries(db, page, entries, error) ||
            !AddPersonnelNumbers(db, entries, holders, error)) {
            RollbackTransaction(db);
            return Fail(operation, error);
        }
        WriteRegisterCsvRows(out, entries, options, holders);
        out.flush();
        if (out.status() != QTextStream::Ok)
            return stop(QStringLiteral("the export cannot be written"));
        rows += static_cast<std::int64_t>(entries.size());
        if (progress && !progress(rows)) return stop(QStringLiteral("the export was cancelled"));
        if (entries.size() < static_cast<std::size_t>(kPageRows)) break;
        page.after = RegisterFilter::Position{entries.back().time, entries.back().id};
    }
    RollbackTransaction(db);  // read only: nothing to keep
    return true;
}

}  // namespace station
