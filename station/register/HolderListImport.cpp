#include "station/register/HolderListImport.h"

#include <QHash>
#include <algorithm>

#include "station/register/CardRegister.h"

namespace station {

namespace {

QString Cell(const QStringList& fields, int column) {
    return column >= 0 && column < fields.size() ? fields[column].trimmed() : QString();
}

bool IsBlank(const QStringList& fields) {
    return std::all_of(fields.begin(), fields.end(),
                       [](const QString& field) { return field.trimmed().isEmpty(); });
}

}  // namespace

void CHolderListImport::Read(const QByteArray& bytes, const CsvReadOptions& options) {
    ReadCsv(bytes, options, m_table, m_csvError);
    m_columns = GuessHolderColumns(Header());
    CheckLines();
}

QStringList CHolderListImport::Header() const {
    return m_table.records.empty() ? QStringList() : m_table.records.front().fields;
}

void CHolderListImport::SetColumns(const HolderColumnMap& columns) {
    m_columns = columns;
    CheckLines();
}

bool CHolderListImport::MissesColumns() const {
    return m_columns[HolderField::PersonnelNumber] < 0 || !m_columns.HasName();
}

void CHolderListImport::CheckLines() {
    m_rows.clear();
    m_fileProblems.clear();
    using Kind = HolderLineProblem::Kind;
    const qsizetype width = Header().size();
    QHash<QString, int> firstLine;  // personnel number -> the line that brought it
    // Without the required columns every line would be refused for the mapping's sake.
    const size_t records = MissesColumns() ? 0 : m_table.records.size();
    for (size_t i = 1; i < records; ++i) {
        const CsvRecord& record = m_table.records[i];
        // A line of separators only is an empty line as a spreadsheet saves it.
        if (IsBlank(record.fields)) continue;
        // A line with more or fewer fields than the header has its values in the wrong
        // columns (an unquoted separator in a name), so none of them can be trusted.
        if (record.fields.size() != width) {
            m_fileProblems.push_back(
                {record.line, Kind::FieldCount, 0, static_cast<int>(record.fields.size()), {}});
            continue;
        }
        HolderImportRow row;
        row.line = record.line;
        row.personnelNumber = Cell(record.fields, m_columns[HolderField::PersonnelNumber]);
        row.name = Cell(record.fields, m_columns[HolderField::Name]);
        if (m_columns[HolderField::Name] < 0) {
            row.name = QStringList{Cell(record.fields, m_columns[HolderField::FirstName]),
                                   Cell(record.fields, m_columns[HolderField::LastName])}
                           .join(u' ')
                           .trimmed();
        }
        row.department = Cell(record.fields, m_columns[HolderField::Department]);
        row.notes = Cell(record.fields, m_columns[HolderField::Notes]);
        if (row.personnelNumber.isEmpty()) {
            m_fileProblems.push_back({record.line, Kind::NoPersonnelNumber, 0, 0, {}});
            continue;
        }
        if (row.name.isEmpty()) {
            m_fileProblems.push_back({record.line, Kind::NoName, 0, 0, {}});
            continue;
        }
        const auto earlier = firstLine.constFind(row.personnelNumber);
        if (earlier != firstLine.cend()) {
            m_fileProblems.push_back(
                {record.line, Kind::DuplicatePersonnelNumber, *earlier, 0, {}});
            continue;
        }
        firstLine.insert(row.personnelNumber, record.line);
        m_rows.push_back(std::move(row));
    }
    if (m_csvError.kind == CsvError::Kind::UnclosedQuote)
        m_fileProblems.push_back({m_csvError.line, Kind::UnclosedQuote, 0, 0, {}});
    m_problems = m_fileProblems;
}

HolderListImportResult CHolderListImport::Plan(CCardRegister& cardRegister, bool markLeft,
                                               HolderImportPlan& plan) {
    return Run(cardRegister, markLeft, true, plan);
}

HolderListImportResult CHolderListImport::Apply(CCardRegister& cardRegister, bool markLeft,
                                                HolderImportPlan& plan) {
    return Run(cardRegister, markLeft, false, plan);
}

HolderListImportResult CHolderListImport::Run(CCardRegister& cardRegister, bool markLeft,
                                              bool dryRun, HolderImportPlan& plan) {
    plan = {};
    m_problems = m_fileProblems;  // the register's refusals of an earlier plan go
    if (m_table.records.empty()) {
        return m_problems.empty() ? HolderListImportResult::NoHeader
                                  : HolderListImportResult::Refused;
    }
    if (MissesColumns()) return HolderListImportResult::ColumnsMissing;
    // Marking holders as left from a list with unreadable lines would mark the people on
    // those lines, so a plan with problems is shown but never stored. The register refuses
    // the whole import itself when it refuses a row.
    if (!cardRegister.ImportHolders(m_rows, markLeft, dryRun || !m_problems.empty(), plan))
        return HolderListImportResult::RegisterFailed;
    for (const auto& [line, reason] : plan.refused)
        m_problems.push_back({line, HolderLineProblem::Kind::Register, 0, 0, reason});
    std::stable_sort(
        m_problems.begin(), m_problems.end(),
        [](const HolderLineProblem& a, const HolderLineProblem& b) { return a.line < b.line; });
    return m_problems.empty() ? HolderListImportResult::Imported : HolderListImportResult::Refused;
}

}  // namespace station
