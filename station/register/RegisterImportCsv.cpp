// The register's own CSV export read back for an import, every line checked before anything
// goes into the register.
#include <QHash>
#include <QTextStream>
#include <algorithm>
#include <optional>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/CsvReader.h"
#include "station/register/CardLife.h"
#include "station/register/RegisterImport.h"
#include "station/register/SpreadsheetCell.h"

namespace station {

namespace {

// Enough to find a file's mistakes; the rest are counted.
constexpr std::size_t kProblemsShown = 50;

// The export's columns, from the export itself so the two never part.
QStringList ExportColumns() {
    QString header;
    QTextStream out(&header);
    WriteRegisterCsv(out, {});
    out.flush();
    return header.trimmed().split(QLatin1Char(','));
}

// Exports written before the card's life was recorded lack these; their rows have no links.
// Those written before the holders lack the holder's personnel number: their cards have none.
bool MayBeMissing(const QString& column) {
    return column == QLatin1String("reason") || column == QLatin1String("replaces") ||
           column == QLatin1String("replaced_by") || column == QLatin1String("personnel_number");
}

// One line's cells by column name, each read back from its spreadsheet form.
class Line {
  public:
    Line(const QHash<QString, int>& columns, const CsvRecord& record)
        : m_columns(columns), m_record(record) {}

    QString Text(const char* column) const {
        const int index = m_columns.value(QLatin1String(column), -1);
        return index >= 0 ? FromSpreadsheetText(m_record.fields.at(index)) : QString();
    }
    std::optional<std::int64_t> Number(const char* column, bool emptyIsZero = false) {
        const QString text = Text(column).trimmed();
        if (text.isEmpty() && emptyIsZero) return 0;
        bool ok = false;
        const qlonglong value = text.toLongLong(&ok);
        if (ok && value >= 0) return value;
        Refuse(QStringLiteral("%1 \"%2\" is no number").arg(QLatin1String(column), text));
        return std::nullopt;
    }
    bool Flag(const char* column) {
        const QString text = Text(column).trimmed();
        if (text != QLatin1String("0") && text != QLatin1String("1"))
            Refuse(QStringLiteral("%1 \"%2\" is neither 0 nor 1").arg(QLatin1String(column), text));
        return text == QLatin1String("1");
    }
    void Refuse(const QString& why) {
        if (m_why.isEmpty()) m_why = why;
    }
    const QString& Why() const { return m_why; }

  private:
    const QHash<QString, int>& m_columns;
    const CsvRecord& m_record;
    QString m_why;
};

std::optional<RegisterEntry::State> StateOf(const QString& text) {
    for (const auto state : {RegisterEntry::State::Reserved, RegisterEntry::State::Written,
                             RegisterEntry::State::Unverified, RegisterEntry::State::Replaced,
                             RegisterEntry::State::Revoked})
        if (text == StateText(state)) return state;
    return std::nullopt;
}

int Narrow(std::optional<std::int64_t> value, Line& line, const char* column) {
    if (value && *value > 0x7fffffff) {
        line.Refuse(QStringLiteral("%1 %2 is too large").arg(QLatin1String(column)).arg(*value));
        return 0;
    }
    return static_cast<int>(value.value_or(0));
}

// The row of one line; Why() of line says what does not read.
ImportRow ReadRow(Line& line) {
    ImportRow row;
    RegisterEntry& entry = row.entry;
    entry.id = line.Number("id").value_or(0);
    entry.formatText = line.Text("format").trimmed();
    entry.format = FormatOfCommandName(entry.formatText.toStdString());
    entry.fields.facility = Narrow(line.Number("facility"), line, "facility");
    entry.fields.number = line.Number("number").value_or(0);
    entry.fields.fixed = Narrow(line.Number("extra", true), line, "extra");
    entry.chipText = line.Text("chip").trimmed();
    const int chip = ChipOfCommandName(entry.chipText.toStdString());
    entry.chipType = chip >= 0 ? chip : entry.chipText.toInt();
    entry.uid = line.Text("chip_id");
    entry.locked = line.Flag("locked");
    entry.verified = line.Flag("verified");
    entry.reissue = line.Flag("reissue");
    const QString state = line.Text("state").trimmed();
    if (const auto known = StateOf(state)) {
        entry.state = *known;
    } else {
        line.Refuse(QStringLiteral("state \"%1\" is unknown").arg(state));
    }
    const QString time = line.Text("time").trimmed();
    entry.time = QDateTime::fromString(time, Qt::ISODateWithMs).toUTC();
    if (!entry.time.isValid()) line.Refuse(QStringLiteral("time \"%1\" is no time").arg(time));
    entry.station = line.Text("station");
    entry.operatorName = line.Text("operator");
    entry.programVersion = line.Text("program_version");
    entry.reason = line.Text("reason");
    entry.replaces = line.Number("replaces", true).value_or(0);
    entry.replacedBy = line.Number("replaced_by", true).value_or(0);
    row.personnelNumber = line.Text("personnel_number").trimmed();

    if (entry.formatText.isEmpty()) line.Refuse(QStringLiteral("the format is empty"));
    if (entry.chipText.isEmpty()) line.Refuse(QStringLiteral("the chip is empty"));
    if (entry.id == 0) line.Refuse(QStringLiteral("id 0 is no row"));
    if (!IsCardFormat(entry.format)) {
        // A newer program's format: kept as its text, unique as the register keeps it.
        row.key = ForeignCardKey(entry.formatText, entry.fields.facility, entry.fields.number);
    } else if (CheckCardFields(entry.format, entry.fields)) {
        line.Refuse(QStringLiteral("%1 is outside the format %2")
                        .arg(CardName(entry.format, entry.fields), entry.formatText));
    } else {
        row.key = CardKeyOf(entry.format, entry.fields);
    }
    return row;
}

bool IsLive(RegisterEntry::State state) {
    return state == RegisterEntry::State::Reserved || state == RegisterEntry::State::Written ||
           state == RegisterEntry::State::Unverified;
}

// Where a row is, in a problem's words: its line, or a register file's row id.
QString Where(const ImportRow& row) {
    return row.line > 0 ? QStringLiteral("line %1").arg(row.line)
                        : QStringLiteral("row %1").arg(row.entry.id);
}

}  // namespace

void CheckImportRows(const std::vector<ImportRow>& rows, std::vector<ImportProblem>& problems) {
    QHash<std::int64_t, const ImportRow*> byId;
    QHash<QString, const ImportRow*> issued;
    QHash<QString, const ImportRow*> live;
    QHash<std::int64_t, const ImportRow*> replacing;
    auto refuse = [&](const ImportRow& row, const QString& why) {
        problems.push_back({row.line, row.line > 0 ? why : Where(row) + QStringLiteral(": ") + why});
    };
    for (const ImportRow& row : rows) {
        const RegisterEntry& entry = row.entry;
        const QString key = row.key.layout + QLatin1Char('\n') + QString::number(row.key.value);
        if (const ImportRow* earlier = byId.value(entry.id)) {
            refuse(row, QStringLiteral("id %1 is the id of %2 too").arg(entry.id).arg(Where(*earlier)));
        }
        byId.insert(entry.id, &row);
        if (!entry.reissue) {
            if (const ImportRow* earlier = issued.value(key)) {
                refuse(row, QStringLiteral("%1 is issued on %2 already; a card's later rows are "
                                           "re-issues")
                                .arg(ImportedCardName(entry), Where(*earlier)));
            }
            issued.insert(key, &row);
        }
        // One number is on one valid card: a second live row would put it on two chips.
        if (IsLive(entry.state)) {
            if (const ImportRow* earlier = live.value(key)) {
                refuse(row, QStringLiteral("%1 is %2 here and %3 on %4; a card has one valid "
                                           "row at a time")
                                .arg(ImportedCardName(entry), StateText(entry.state),
                                     StateText(earlier->entry.state), Where(*earlier)));
            }
            live.insert(key, &row);
        }
        if (entry.replaces != 0) {
            if (const ImportRow* earlier = replacing.value(entry.replaces)) {
                refuse(row, QStringLiteral("row %1 is replaced on %2 already")
                                .arg(entry.replaces)
                                .arg(Where(*earlier)));
            }
            replacing.insert(entry.replaces, &row);
        }
    }
    // A re-issue replaces a row of its own card, never one of another number.
    for (const ImportRow& row : rows) {
        for (const std::int64_t linked : {row.entry.replaces, row.entry.replacedBy}) {
            const ImportRow* other = linked != 0 ? byId.value(linked) : nullptr;
            if (other && !(other->key == row.key)) {
                refuse(row, QStringLiteral("%1 is linked to row %2 (%3), a row of another card")
                                .arg(ImportedCardName(row.entry))
                                .arg(linked)
                                .arg(ImportedCardName(other->entry)));
            }
        }
    }
}

bool ReadImportCsv(const QByteArray& bytes, ImportSource& source,
                   std::vector<ImportProblem>& problems) {
    source = {};
    problems.clear();
    CsvTable table;
    CsvError csvError;
    if (!ReadCsv(bytes, {}, table, csvError)) {
        problems.push_back({csvError.line, QStringLiteral("a quote opened here is never closed")});
        return false;
    }
    if (table.records.empty()) {
        problems.push_back({1, QStringLiteral("the file is empty; a register export begins "
                                              "with its header line")});
        return false;
    }
    const CsvRecord& header = table.records.front();
    const QStringList known = ExportColumns();
    QHash<QString, int> columns;
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields.at(i).trimmed();
        if (!known.contains(name) || columns.contains(name)) {
            problems.push_back({header.line, QStringLiteral("the column \"%1\" is no column "
                                                            "of a register export")
                                                 .arg(name)});
        }
        columns.insert(name, i);
    }
    for (const QString& name : known) {
        if (!columns.contains(name) && !MayBeMissing(name))
            problems.push_back(
                {header.line, QStringLiteral("the column \"%1\" is missing").arg(name)});
    }
    if (!problems.empty()) return false;

    std::vector<ImportRow> rows;
    rows.reserve(table.records.size() - 1);
    for (std::size_t i = 1; i < table.records.size(); ++i) {
        const CsvRecord& record = table.records[i];
        if (record.fields.size() != header.fields.size()) {
            problems.push_back({record.line, QStringLiteral("%1 fields where the header has %2")
                                                 .arg(record.fields.size())
                                                 .arg(header.fields.size())});
            continue;
        }
        Line line(columns, record);
        ImportRow row = ReadRow(line);
        row.line = record.line;
        if (!line.Why().isEmpty()) {
            problems.push_back({record.line, line.Why()});
        } else {
            rows.push_back(std::move(row));
        }
    }
    if (problems.empty()) CheckImportRows(rows, problems);
    std::stable_sort(problems.begin(), problems.end(),
                     [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
    if (!problems.empty()) {
        if (problems.size() > kProblemsShown) {
            const std::size_t more = problems.size() - kProblemsShown;
            problems.resize(kProblemsShown);
            problems.push_back({0, QStringLiteral("and %1 more lines").arg(more)});
        }
        return false;
    }
    source.rows = std::move(rows);
    return true;
}

}  // namespace station
