// lfprog register import: the cards of a CSV export or of another station's SQLite register
// into the current register, such as a site's stations' files into its PostgreSQL server.
#include <QFile>
#include <QFileInfo>

#include "Commands.h"
#include "RegisterChoice.h"
#include "station/register/RegisterImport.h"

using namespace station;

namespace {

// The source's cards, or the reported failure.
int ReadSource(const COutput& out, const QString& file, ImportSource& source) {
    if (IsSqliteFile(file)) {
        QString error;
        if (!ReadImportRegisterFile(file, source, error))
            return out.Fail(kExitFailure,
                            file.toStdString() + " cannot be imported: " + error.toStdString());
        return kExitSuccess;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return out.Fail(kExitFailure,
                        file.toStdString() + " cannot be read: " + in.errorString().toStdString());
    std::vector<ImportProblem> problems;
    if (ReadImportCsv(in.readAll(), source, problems)) return kExitSuccess;
    for (const ImportProblem& problem : problems) {
        CJson object;
        object.Add("line", problem.line).Add("problem", problem.text.toStdString());
        const std::string where =
            problem.line > 0 ? "line " + std::to_string(problem.line) + ": " : std::string();
        out.Print(object, file.toStdString() + ": " + where + problem.text.toStdString());
    }
    return out.Fail(kExitFailure, file.toStdString() +
                                      " does not read as a register export; nothing was imported");
}

}  // namespace

int RunRegisterImport(CommandContext& context) {
    const COutput& out = context.out;
    if (context.operands.size() != 1)
        return out.Fail(kExitUsage, "register import takes the file to import");
    RegisterSettings settings;
    if (const int status = ChooseRegister(context.line, out, settings)) return status;
    if (!settings.enabled)
        return out.Fail(kExitUsage,
                        "the card register is switched off; there is none to "
                        "import into");
    const QString file = QFileInfo(QString::fromStdString(context.operands[0])).absoluteFilePath();
    if (settings.kind == RegisterSettings::Kind::SQLite &&
        QFileInfo(file) == QFileInfo(RegisterFile(settings)))
        return out.Fail(kExitUsage, "the file is the register itself");

    ImportSource source;
    if (const int status = ReadSource(out, file, source)) return status;
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenRegister(settings, out, cardRegister)) return status;
    ImportReport report;
    if (!cardRegister->Import(source, report))
        return out.Fail(kExitRegister, "nothing was imported into the card register (" +
                                           DescribeRegister(settings) +
                                           "): " + cardRegister->LastError().toStdString());

    for (const ImportRow& row : report.alreadyThere) {
        CJson object;
        object.Add("already_there", ImportedCardName(row.entry).toStdString())
            .Add("row", static_cast<long long>(row.entry.id));
        if (row.line > 0) object.Add("line", row.line);
        const std::string where = row.line > 0 ? "line " + std::to_string(row.line)
                                               : "row " + std::to_string(row.entry.id);
        out.Print(object, where + ": " + ImportedCardName(row.entry).toStdString() +
                              " is in the register already; left out");
    }
    CJson summary;
    summary.Add("imported", static_cast<long long>(report.added))
        .Add("already_there", static_cast<long long>(report.alreadyThere.size()))
        .Add("holders_added", static_cast<long long>(report.holdersAdded))
        .Add("file", file.toStdString());
    out.Print(summary, "imported " + std::to_string(report.added) + " of " +
                           std::to_string(source.rows.size()) + " rows from " + file.toStdString() +
                           " into the card register (" + DescribeRegister(settings) + ")" +
                           (report.holdersAdded == 0
                                ? std::string()
                                : ", " + std::to_string(report.holdersAdded) +
                                      " holders added"));
    // A file whose every card is there already (imported before) added nothing: said by the
    // exit code, so a script tells a repeated import from a new one.
    if (report.added == 0 && !report.alreadyThere.empty()) return kExitDuplicate;
    return kExitSuccess;
}
