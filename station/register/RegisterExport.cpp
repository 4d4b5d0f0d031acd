// The register as CSV a page at a time. A list of every row would hold the whole register in
// memory (a million cards are hundreds of megabytes); pages along the (time, id) index keep
// memory flat, and one read transaction around them keeps the pages one snapshot while
// stations go on writing (a card confirmed meanwhile moves to a newer time and would otherwise
// be missed by the pages still to come).
#include <QSqlDatabase>

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

}  // namespace

bool CCardRegister::ExportCsv(QTextStream& out, const RegisterFilter& filter,
                              const CsvOptions& options, std::int64_t& rows,
                              const std::function<bool(std::int64_t rows)>& progress) {
    rows = 0;
    const QString operation = QStringLiteral("export the cards");
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
    for (;;) {
        entries.clear();
        if (!SelectEntries(db, page, entries, error)) {
            RollbackTransaction(db);
            return Fail(operation, error);
        }
        WriteRegisterCsvRows(out, entries, options);
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
