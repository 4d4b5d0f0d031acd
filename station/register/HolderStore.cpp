// The register's holders: the people cards are issued to, and the exports that name them.
#include <QSqlQuery>

#include "station/register/HolderImport.h"
#include "station/register/HolderRows.h"
#include "station/register/Holders.h"
#include "station/register/RegisterConnection.h"
#include "station/register/SpreadsheetCell.h"

namespace station {

namespace {

// An advisory lock's key on PostgreSQL: two imports at once take turns.
constexpr qlonglong kImportLock = 4711170003;

QString Stored(const QVariant& time) {
    const QString text = time.toString();
    return text.isEmpty()
               ? text
               : QDateTime::fromString(text, Qt::ISODateWithMs).toUTC().toString(Qt::ISODate);
}

}  // namespace

std::optional<std::vector<Holder>> CCardRegister::Holders(const HolderFilter& filter) {
    if (Away()) return Elsewhere([this](auto&... a) { return Holders(a...); }, filter);
    std::vector<Holder> holders;
    QVariantList values;
    const QString conditions = HolderConditions(filter, values);
    const bool read =
        Perform(QStringLiteral("read the holders"), [&](QSqlDatabase& db, QString& error) {
            return SelectHolders(db, conditions, values, filter.limit, holders, error,
                                 filter.everyValidCard);
        });
    if (!read) return std::nullopt;
    return holders;
}

bool CCardRegister::FindHolder(const QString& personnelNumber, std::optional<Holder>& holder) {
    if (Away())
        return Elsewhere([this](auto&... a) { return FindHolder(a...); }, personnelNumber, holder);
    holder.reset();
    std::vector<Holder> holders;
    const bool read =
        Perform(QStringLiteral("look the holder up"), [&](QSqlDatabase& db, QString& error) {
            return SelectHolders(db, QStringLiteral("h.personnel_number = ?"),
                                 {personnelNumber.trimmed()}, 1, holders, error);
        });
    if (read && !holders.empty()) holder = holders.front();
    return read;
}

bool CCardRegister::FindHolder(std::int64_t id, std::optional<Holder>& holder) {
    if (Away()) return Elsewhere([this](auto&... a) { return FindHolder(a...); }, id, holder);
    holder.reset();
    std::vector<Holder> holders;
    const bool read =
        Perform(QStringLiteral("look the holder up"), [&](QSqlDatabase& db, QString& error) {
            return SelectHolders(db, QStringLiteral("h.id = ?"), {static_cast<qlonglong>(id)}, 1,
                                 holders, error);
        });
    if (read && !holders.empty()) holder = holders.front();
    return read;
}

std::optional<QStringList> CCardRegister::Departments() {
    if (Away()) return Elsewhere([this] { return Departments(); });
    QStringList departments;
    const bool read =
        Perform(QStringLiteral("read the departments"), [&](QSqlDatabase& db, QString& error) {
            departments.clear();
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("SELECT DISTINCT department FROM holders WHERE "
                                           "department <> '' AND left_since = '' "
                                           "ORDER BY department"))) {
                error = DatabaseWords(query.lastError());
                return false;
            }
            while (query.next()) departments << query.value(0).toString();
            return true;
        });
    if (!read) return std::nullopt;
    return departments;
}

bool CCardRegister::SaveHolder(Holder& holder) {
    if (Away()) return Elsewhere([this](auto&... a) { return SaveHolder(a...); }, holder);
    const QString operation = QStringLiteral("save the holder");
    Holder saved = holder;
    saved.personnelNumber = saved.personnelNumber.trimmed();
    QString refused;
    if (saved.personnelNumber.isEmpty())
        refused = QStringLiteral("a holder needs a personnel number");
    // The words of a refusal name no person: they may reach a status line.
    const bool performed =
        refused.isEmpty() && Perform(operation, [&](QSqlDatabase& db, QString& error) {
            refused.clear();
            QSqlError refusal;
            bool found = true;
            const Origin origin{m_station, m_operator};
            const bool done = saved.id == 0 ? InsertHolder(db, saved, origin, refusal)
                                            : UpdateHolder(db, saved, origin, found, refusal);
            if (!done && IsUniqueViolation(refusal)) {
                refused = QStringLiteral("another holder has this personnel number");
                return true;
            }
            if (!done) {
                error = DatabaseWords(refusal);
                return false;
            }
            if (!found)
                refused = QStringLiteral("holder row %1 is not in the register").arg(saved.id);
            return true;
        });
    if (!refused.isEmpty()) {
        m_lastError = QStringLiteral("Cannot %1 in the card register %2: %3")
                          .arg(operation, m_connection->Place(), refused);
        return false;
    }
    if (!performed) return false;
    holder = saved;
    return true;
}

std::optional<std::vector<RegisterEntry>> CCardRegister::HolderCards(std::int64_t holderId) {
    if (Away()) return Elsewhere([this](auto&... a) { return HolderCards(a...); }, holderId);
    std::vector<RegisterEntry> entries;
    const bool read =
        Perform(QStringLiteral("read the holder's cards"), [&](QSqlDatabase& db, QString& error) {
            entries.clear();
            QSqlQuery query(db);
            query.setForwardOnly(true);
            query.prepare(QStringLiteral("SELECT %1 FROM cards c WHERE c.holder = ? "
                                         "ORDER BY c.time DESC, c.id DESC")
                              .arg(CardColumns(QStringLiteral("c"))));
            query.addBindValue(static_cast<qlonglong>(holderId));
            if (!query.exec()) {
                error = DatabaseWords(query.lastError());
                return false;
            }
            while (query.next()) entries.push_back(EntryFrom(query));
            return true;
        });
    if (!read) return std::nullopt;
    return entries;
}

bool CCardRegister::ImportHolders(const std::vector<HolderImportRow>& rows, bool markMissingLeft,
                                  bool dryRun, HolderImportPlan& plan) {
    if (Away()) {
        return Elsewhere([this](auto&... a) { return ImportHolders(a...); }, rows,
                         markMissingLeft, dryRun, plan);
    }
    const QString operation = QStringLiteral("import the holder list");
    const RegisterDialect dialect = m_connection->Dialect();
    plan = {};
    const bool performed = Perform(operation, [&](QSqlDatabase& db, QString& error) {
        if (!BeginTransaction(db, dialect, error)) return false;
        auto fail = [&] {
            RollbackTransaction(db);
            return false;
        };
        if (dialect == RegisterDialect::PostgreSQL &&
            !RunStatement(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kImportLock),
                          error))
            return fail();
        std::vector<Holder> stored;
        if (!SelectAllHolders(db, stored, error)) return fail();
        HolderImportChanges changes;
        plan = PlanHolderImport(rows, stored, markMissingLeft, changes);
        // The cards that go from the valid list to the block list with their holders.
        for (Holder& holder : plan.left)
            if (!SelectValidCards(db, holder.id, holder.validCards, error)) return fail();
        // All or nothing: a refused line stores nothing, nor does a rehearsal.
        if (dryRun || !plan.refused.empty()) {
            RollbackTransaction(db);
            return true;
        }
        const Origin origin{m_station, m_operator};
        for (Holder& holder : changes.added) {
            QSqlError refusal;
            if (!InsertHolder(db, holder, origin, refusal)) {
                error = DatabaseWords(refusal);
                return fail();
            }
        }
        for (const Holder& holder : changes.changed) {
            QSqlError refusal;
            bool found = false;
            if (!UpdateHolder(db, holder, origin, found, refusal)) {
                error = DatabaseWords(refusal);
                return fail();
            }
        }
        if (!RunStatement(db, QStringLiteral("COMMIT"), error)) return fail();
        return true;
    });
    if (!performed) return false;
    if (plan.refused.empty()) return true;
    m_lastError = QStringLiteral(
                      "Cannot %1 into the card register %2: %3 of its lines are "
                      "refused; nothing was stored")
                      .arg(operation, m_connection->Place())
                      .arg(plan.refused.size());
    return false;
}

bool CCardRegister::WriteValidCardsCsv(QTextStream& out, const CsvOptions& options) {
    const QString operation = QStringLiteral("export the valid cards");
    if (RefusedAway(operation)) return false;
    // A holder who left keeps no door open: their cards go to the block list instead. An
    // unverified card stays: its chip may carry the number, and the holder may carry the chip.
    const QString statement = QStringLiteral(
        "SELECT h.personnel_number, h.name, h.department, c.format, c.facility, c.number, "
        "c.time FROM cards c LEFT JOIN holders h ON h.id = c.holder "
        "WHERE c.state IN ('written', 'unverified') AND (h.id IS NULL OR h.left_since = '') "
        "ORDER BY c.format, c.facility, c.number, c.id");
    return ExportCsv(
        out, options, operation, statement,
        {QStringLiteral("personnel_number"), QStringLiteral("name"), QStringLiteral("department"),
         QStringLiteral("format"), QStringLiteral("facility"), QStringLiteral("number"),
         QStringLiteral("valid_since")},
        6);
}

bool CCardRegister::WriteBlockListCsv(QTextStream& out, const CsvOptions& options) {
    const QString operation = QStringLiteral("export the block list");
    if (RefusedAway(operation)) return false;
    // A revoked card's number, unless a card of that number is valid again (a re-issue onto a
    // new chip: blocking the number would lock its holder out) or revoked again later (listed
    // once). Revoked since: the revoke, or a reservation resolved as destroyed. Then the valid
    // cards of holders who left, until they are revoked ("holder left", since they left).
    // The last column only orders the lines.
    const QString statement = QStringLiteral(
        "SELECT c.format, c.facility, c.number, COALESCE((SELECT MAX(e.time) FROM card_events e "
        "WHERE e.card_id = c.id AND e.kind IN ('revoked', 'resolved')), c.time), c.reason, c.id "
        "FROM cards c WHERE c.state = 'revoked' AND NOT EXISTS (SELECT 1 FROM cards v WHERE "
        "v.layout = c.layout AND v.card_key = c.card_key AND (v.state IN ('written', "
        "'unverified') OR (v.state = 'revoked' AND v.id > c.id))) "
        "UNION ALL "
        "SELECT c.format, c.facility, c.number, h.left_since, 'holder left', c.id "
        "FROM cards c JOIN holders h ON h.id = c.holder "
        "WHERE c.state IN ('written', 'unverified') AND h.left_since <> '' "
        "ORDER BY 1, 2, 3, 6");
    return ExportCsv(
        out, options, operation, statement,
        {QStringLiteral("format"), QStringLiteral("facility"), QStringLiteral("number"),
         QStringLiteral("revoked_since"), QStringLiteral("reason")},
        3);
}

bool CCardRegister::ExportCsv(QTextStream& out, const CsvOptions& options, const QString& operation,
                              const QString& statement, const QStringList& header, int timeColumn) {
    const QLatin1String lineEnd("\r\n");
    QString broken;
    const bool performed = Perform(operation, [&](QSqlDatabase& db, QString& error) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(statement)) {
            error = DatabaseWords(query.lastError());
            return false;
        }
        // Lines are written from here on: a failure now is not tried again (no doubled lines).
        if (options.byteOrderMark) out << QChar(0xFEFF);
        out << header.join(options.separator) << lineEnd;
        while (query.next()) {
            for (int column = 0; column < header.size(); ++column) {
                if (column > 0) out << options.separator;
                const QVariant value = query.value(column);
                out << CsvField(column == timeColumn ? Stored(value) : value.toString(),
                                options.separator);
            }
            out << lineEnd;
        }
        if (query.lastError().isValid()) broken = DatabaseWords(query.lastError());
        return true;
    });
    if (!performed) return false;
    out.flush();
    if (broken.isEmpty() && out.status() != QTextStream::Ok)
        broken = QStringLiteral("the file could not be written");
    if (!broken.isEmpty()) return Fail(operation, broken);
    return true;
}

}  // namespace station
