// An import of the personnel department's holder list: the file read as CSV, its columns
// mapped to the holder's fields, each line checked, the register's plan as the preview, then
// the import in one step. Any refused line refuses the whole import, so a list is stored
// whole or not at all.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "station/CsvReader.h"
#include "station/register/HolderColumns.h"
#include "station/register/Holders.h"

namespace station {

class CCardRegister;

// A line of the file that is not imported, with why.
struct HolderLineProblem {
    enum class Kind {
        UnclosedQuote,             // a quote opened on this line is never closed
        FieldCount,                // count: the fields the line has, not as many as the header
        NoPersonnelNumber,         // the personnel number is empty
        NoName,                    // the name is empty
        DuplicatePersonnelNumber,  // other: the earlier line with the same personnel number
        Register,                  // the register refuses it: reason says why
    };
    int line = 0;
    Kind kind = Kind::Register;
    int other = 0;
    int count = 0;
    QString reason;
};

enum class HolderListImportResult {
    Imported,        // stored (or, for a plan, what would be stored)
    NoHeader,        // the file holds no line at all
    ColumnsMissing,  // no column feeds the personnel number or the name
    Refused,         // problems name the lines; nothing is stored
    RegisterFailed,  // the register cannot answer or store: its LastError says why
};

class CHolderListImport {
  public:
    // Reads the file's bytes; the columns are guessed from the header anew.
    void Read(const QByteArray& bytes, const CsvReadOptions& options = {});

    const CsvTable& Table() const { return m_table; }
    // The header line's fields; empty for an empty file.
    QStringList Header() const;
    const HolderColumnMap& Columns() const { return m_columns; }
    void SetColumns(const HolderColumnMap& columns);
    bool MissesColumns() const;

    // The holders of the file's lines, and the lines that cannot be imported (by line).
    const std::vector<HolderImportRow>& Rows() const { return m_rows; }
    const std::vector<HolderLineProblem>& Problems() const { return m_problems; }

    // What the import would do, the register's refusals added to Problems(). Nothing is
    // stored. markLeft: holders not in the file are marked as left.
    HolderListImportResult Plan(CCardRegister& cardRegister, bool markLeft, HolderImportPlan& plan);
    // Stores the holders in one transaction when no line is refused: all or nothing.
    HolderListImportResult Apply(CCardRegister& cardRegister, bool markLeft,
                                 HolderImportPlan& plan);

  private:
    HolderListImportResult Run(CCardRegister& cardRegister, bool markLeft, bool dryRun,
                               HolderImportPlan& plan);
    void CheckLines();

    CsvTable m_table;
    CsvError m_csvError;
    HolderColumnMap m_columns;
    std::vector<HolderImportRow> m_rows;
    std::vector<HolderLineProblem> m_fileProblems;  // found in the file
    std::vector<HolderLineProblem> m_problems;      // those and the register's
};

}  // namespace station
