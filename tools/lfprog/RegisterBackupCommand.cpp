// lfprog register backup: a consistent copy of an SQLite register while stations write into
// it; a PostgreSQL register is its server's to back up.
#include <QFileInfo>

#include "Commands.h"
#include "RegisterChoice.h"
#include "RegisterOutput.h"

using namespace station;

int RunRegisterBackup(CommandContext& context) {
    const COutput& out = context.out;
    if (context.operands.size() != 1)
        return out.Fail(kExitUsage, "register backup takes the file to write the copy to");
    RegisterSettings settings;
    if (const int status = ChooseRegister(context.line, out, settings)) return status;
    if (settings.enabled && settings.kind == RegisterSettings::Kind::PostgreSQL) {
        const std::string user =
            settings.user.isEmpty() ? "" : " -U " + settings.user.toStdString();
        return out.Fail(kExitUsage,
                        "a PostgreSQL register is backed up on its server with pg_dump, for "
                        "example: pg_dump -h " +
                            settings.host.toStdString() + " -p " + std::to_string(settings.port) +
                            user + " -Fc -f " + context.operands[0] + " " +
                            settings.database.toStdString());
    }
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenReadableRegister(context.line, out, cardRegister)) return status;
    // Looking for a register to copy never makes one.
    if (!cardRegister)
        return out.Fail(kExitRegister, "there is no card register to copy at " +
                                           RegisterFile(settings).toStdString());
    const QString file = QFileInfo(QString::fromStdString(context.operands[0])).absoluteFilePath();
    if (!cardRegister->BackupTo(file, context.line.Has("force")))
        return out.Fail(kExitFailure,
                        "the card register (" + DescribeRegister(settings) +
                            ") cannot be backed up: " + cardRegister->LastError().toStdString());
    CJson object;
    object.Add("backup", file.toStdString()).Add("register", RegisterFile(settings).toStdString());
    out.Print(object, "the card register " + RegisterFile(settings).toStdString() +
                          " is backed up to " + file.toStdString());
    return kExitSuccess;
}
