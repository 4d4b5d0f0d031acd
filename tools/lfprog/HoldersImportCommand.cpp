// lfprog holders import: the personnel department's holder list into the register, with the
// same reading, column mapping and all-or-nothing rule as the station's import dialog.
#include <QFile>
#include <QFileInfo>

#include "Commands.h"
#include "RegisterChoice.h"
#include "RegisterOutput.h"
#include "station/register/HolderListImport.h"

using namespace station;

namespace {

int ParseReadOptions(const CCommandLine& line, const COutput& out, CsvReadOptions& options) {
    if (const auto separator = line.Value("separator")) {
        if (*separator == ";" || *separator == ",")
            options.separator = QLatin1Char((*separator)[0]);
        else if (*separator == "tab" || *separator == "\t")
            options.separator = QLatin1Char('\t');
        else
            return out.Fail(kExitUsage, "--separator takes ; , or tab");
    }
    if (const auto encoding = line.Value("encoding")) {
        const QString name = QString::fromStdString(*encoding).toLower();
        if (name == "utf-8" || name == "utf8")
            options.encoding = CsvEncoding::Utf8;
        else if (name == "windows-1252" || name == "cp1252")
            options.encoding = CsvEncoding::Windows1252;
        else if (name != "auto")
            return out.Fail(kExitUsage, "--encoding takes utf-8, windows-1252 or auto");
    }
    return kExitSuccess;
}

std::string AssignmentErrorText(const HolderColumnAssignmentError& error) {
    const std::string word = error.word.toStdString();
    switch (error.kind) {
        case HolderColumnAssignmentError::Kind::NoEqualsSign:
            return "--map '" + word + "' is not COLUMN=FIELD";
        case HolderColumnAssignmentError::Kind::UnknownColumn:
            return "--map: the file has no column '" + word + "' (a header or a number from 1)";
        case HolderColumnAssignmentError::Kind::UnknownField:
            return "--map: no field '" + word +
                   "' (personnel-number, name, first-name, last-name, department, notes or "
                   "ignore)";
    }
    return {};
}

// The line's problem in words; never the person's data, only line numbers.
std::string ProblemText(const HolderLineProblem& problem) {
    using Kind = HolderLineProblem::Kind;
    switch (problem.kind) {
        case Kind::UnclosedQuote:
            return "a quote opened here is never closed; the file cannot be read from here on";
        case Kind::FieldCount:
            return std::to_string(problem.count) +
                   " fields, not as many as the header (a separator in an unquoted value?)";
        case Kind::NoPersonnelNumber:
            return "no personnel number";
        case Kind::NoName:
            return "no name";
        case Kind::DuplicatePersonnelNumber:
            return "the same personnel number as line " + std::to_string(problem.other);
        case Kind::Register:
            return problem.reason.toStdString();
    }
    return {};
}

void PrintRow(const COutput& out, const char* what, const HolderImportRow& row) {
    CJson object;
    object.Add(what, row.personnelNumber.toStdString())
        .Add("line", row.line)
        .Add("name", row.name.toStdString())
        .Add("department", row.department.toStdString());
    std::string text = std::string(what) + ": line " + std::to_string(row.line) + "  " +
                       row.personnelNumber.toStdString() + "  " + row.name.toStdString();
    if (!row.department.isEmpty()) text += " (" + row.department.toStdString() + ")";
    out.Print(object, text);
}

std::string ColumnNames(const QStringList& header, const HolderColumnMap& columns) {
    std::string text;
    for (const HolderField field : kHolderFields) {
        const int column = columns[field];
        if (column < 0) continue;
        if (!text.empty()) text += ", ";
        text += "'" + header[column].toStdString() + "' as " + HolderFieldName(field).toStdString();
    }
    return text.empty() ? "none" : text;
}

}  // namespace

int RunHoldersImport(CommandContext& context) {
    const COutput& out = context.out;
    const CCommandLine& line = context.line;
    if (context.operands.size() != 1) return out.Fail(kExitUsage, "holders import takes one file");
    CsvReadOptions options;
    if (const int status = ParseReadOptions(line, out, options)) return status;

    const std::string path = context.operands[0];
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return out.Fail(kExitFailure,
                        path + " cannot be read: " + file.errorString().toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return out.Fail(kExitFailure,
                        path + " cannot be read: " + file.errorString().toStdString());

    CHolderListImport import;
    import.Read(bytes, options);
    const QStringList header = import.Header();
    HolderColumnMap columns = import.Columns();
    for (const std::string& assignment : line.Values("map")) {
        if (const auto error =
                AssignHolderColumn(header, QString::fromStdString(assignment), columns))
            return out.Fail(kExitUsage, AssignmentErrorText(*error));
    }
    import.SetColumns(columns);
    if (header.isEmpty() && import.Problems().empty())
        return out.Fail(kExitFailure, path + " holds no header line");
    if (import.MissesColumns())
        return out.Fail(
            kExitUsage,
            std::string("no column for the ") +
                (columns[HolderField::PersonnelNumber] < 0 ? "personnel number" : "name") +
                " (columns: " + header.join(", ").toStdString() +
                "); name it with --map COLUMN=FIELD");
    out.Note("columns: " + ColumnNames(header, columns));
    if (const std::vector<int>& broken = import.Table().brokenUtf8Lines; !broken.empty()) {
        std::string lines;
        for (std::size_t i = 0; i < broken.size() && i < 10; ++i)
            lines += (i == 0 ? "" : ", ") + std::to_string(broken[i]);
        if (broken.size() > 10) lines += " and " + std::to_string(broken.size() - 10) + " more";
        out.Note("warning: line " + lines +
                 " is not UTF-8, so the whole file is read as Windows-1252 and the other "
                 "lines' umlauts read wrong; mend those lines or give --encoding");
    }

    const bool dryRun = line.Has("dry-run");
    const bool markLeft = line.Has("mark-left");
    std::unique_ptr<CCardRegister> cardRegister;
    if (dryRun) {
        if (const int status = OpenReadableRegister(line, out, cardRegister)) return status;
    } else {
        RegisterSettings settings;
        if (const int status = ChooseRegister(line, out, settings)) return status;
        if (!settings.enabled)
            return out.Fail(kExitRegister,
                            "the card register is switched off: nothing to import into");
        if (const int status = OpenRegister(settings, out, cardRegister)) return status;
    }

    HolderImportPlan plan;
    HolderListImportResult result = HolderListImportResult::Imported;
    if (!cardRegister) {
        // A register not made yet holds nobody: every good line would be added.
        plan.added = import.Rows();
        if (!import.Problems().empty()) result = HolderListImportResult::Refused;
    } else {
        result = dryRun ? import.Plan(*cardRegister, markLeft, plan)
                        : import.Apply(*cardRegister, markLeft, plan);
        if (result == HolderListImportResult::RegisterFailed)
            return out.Fail(
                kExitRegister,
                "the card register (" + cardRegister->Where().toStdString() +
                    ") cannot import the list: " + cardRegister->LastError().toStdString());
    }

    for (const HolderLineProblem& problem : import.Problems()) {
        CJson object;
        object.Add("refused", problem.line).Add("reason", ProblemText(problem));
        out.Print(object,
                  "refused: line " + std::to_string(problem.line) + "  " + ProblemText(problem));
    }
    // A long list's new people only when asked for a preview; changes and leavers always.
    if (dryRun) {
        for (const HolderImportRow& row : plan.added) PrintRow(out, "add", row);
    }
    for (const HolderImportRow& row : plan.changed) PrintRow(out, "change", row);
    // Personnel numbers stay on standard output, with the other lines that name people.
    for (const auto& alike : plan.leadingZeros) {
        CJson object;
        object.Add("warning", alike.line)
            .Add("personnel_number", alike.given.toStdString())
            .Add("stored", alike.stored.toStdString());
        out.Print(object, "warning: line " + std::to_string(alike.line) + "  personnel number " +
                              alike.given.toStdString() + " is new, " +
                              alike.stored.toStdString() +
                              " is in the register: leading zeros lost?");
    }
    for (const Holder& holder : plan.left) {
        CJson object;
        object.Add("left", holder.personnelNumber.toStdString())
            .Add("name", holder.name.toStdString());
        std::string text =
            "left: " + holder.personnelNumber.toStdString() + "  " + holder.name.toStdString();
        // Their valid cards go to the block list ("holder left") until they are revoked.
        std::string ids;
        for (const RegisterEntry& card : holder.validCards) {
            ids += (ids.empty() ? "" : ",") + std::to_string(card.id);
            text += "  card " + std::to_string(card.fields.number) + " facility " +
                    std::to_string(card.fields.facility) + " (" +
                    StateText(card.state).toStdString() + ", to be revoked)";
        }
        object.Add("valid_cards", static_cast<long long>(holder.validCards.size()))
            .Add("valid_card_ids", ids);
        out.Print(object, text);
    }

    std::size_t leftCards = 0;
    for (const Holder& holder : plan.left) leftCards += holder.validCards.size();
    const bool refused = result == HolderListImportResult::Refused;
    const bool stored = !dryRun && !refused;
    CJson summary;
    summary.Add("added", static_cast<long long>(plan.added.size()))
        .Add("changed", static_cast<long long>(plan.changed.size()))
        .Add("unchanged", static_cast<long long>(plan.unchanged.size()))
        .Add("left", static_cast<long long>(plan.left.size()))
        .Add("left_valid_cards", static_cast<long long>(leftCards))
        .Add("refused", static_cast<long long>(import.Problems().size()))
        .Add("stored", stored);
    const std::string counts = std::to_string(plan.added.size()) + " added, " +
                               std::to_string(plan.changed.size()) + " changed, " +
                               std::to_string(plan.unchanged.size()) + " unchanged, " +
                               std::to_string(plan.left.size()) + " marked as left" +
                               (leftCards == 0 ? std::string()
                                               : " (" + std::to_string(leftCards) +
                                                     " valid cards to revoke)");
    if (refused) {
        out.Print(summary, "");
        const size_t lines = import.Problems().size();
        return out.Fail(kExitFailure, std::to_string(lines) + (lines == 1 ? " line" : " lines") +
                                          " refused: nothing imported (it would be " + counts +
                                          ")");
    }
    out.Print(summary, (dryRun ? "would be " : "") + counts + (dryRun ? " (nothing stored)" : ""));
    return kExitSuccess;
}
