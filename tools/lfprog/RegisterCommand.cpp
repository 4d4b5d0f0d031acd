// lfprog register list|export: the card register on the command line, as the station's
// register window shows it: the cards with a filter by number, chip identification and date,
// and the rows as CSV.
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>
#include <limits>

#include "CardOptions.h"
#include "Commands.h"
#include "RegisterChoice.h"
#include "RegisterOutput.h"
#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/PrivateSaveFile.h"

using namespace station;

std::string TimeText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODate).toStdString();
}

void PrintEntry(const COutput& out, const RegisterEntry& entry, const char* role) {
    CJson object;
    object.Add("id", static_cast<long long>(entry.id));
    if (role != nullptr) object.Add("role", role);
    // A row from a newer program keeps its stored words and shows every field.
    const bool known = IsCardFormat(entry.format);
    const std::string chip = entry.chipText.isEmpty() ? std::string(ChipCommandName(entry.chipType))
                                                      : entry.chipText.toStdString();
    if (known) {
        AddCard(object, entry.format, entry.fields);
    } else {
        object.Add("format", entry.formatText.toStdString())
            .Add("facility", entry.fields.facility)
            .Add("number", static_cast<long long>(entry.fields.number))
            .Add("extra", entry.fields.fixed);
    }
    object.Add("chip", chip)
        .Add("uid", entry.uid.toStdString())
        .Add("locked", entry.locked)
        .Add("verified", entry.verified)
        .Add("reissue", entry.reissue)
        .Add("state", StateText(entry.state).toStdString())
        .Add("time", TimeText(entry.time))
        .Add("station", entry.station.toStdString())
        .Add("operator", entry.operatorName.toStdString())
        .Add("program_version", entry.programVersion.toStdString());

    const std::string card =
        known ? DescribeCard(entry.format, entry.fields)
              : entry.formatText.toStdString() + " facility " +
                    std::to_string(entry.fields.facility) + " number " +
                    std::to_string(entry.fields.number) + " extra " +
                    std::to_string(entry.fields.fixed);
    std::string text = TimeText(entry.time) + "  " + card + "  " + chip;
    if (!entry.uid.isEmpty()) text += " uid " + entry.uid.toStdString();
    // A reserved row is a card whose write was never confirmed: the station ended or lost the
    // register between reserving the number and the chip's confirmation.
    switch (entry.state) {
        case RegisterEntry::State::Written:
            text += "  written";
            break;
        case RegisterEntry::State::Unverified:
            text += "  unverified (the write went out, the card did not check)";
            break;
        case RegisterEntry::State::Replaced:
            text += "  replaced";
            break;
        case RegisterEntry::State::Revoked:
            text += "  revoked (" + entry.reason.toStdString() + ")";
            break;
        case RegisterEntry::State::Reserved:
            text += "  reserved, not confirmed";
            break;
    }
    if (entry.verified) text += ", verified";
    if (entry.locked) text += ", locked";
    if (entry.reissue) text += ", re-issue";
    text += "  at " + entry.station.toStdString() + " by " + entry.operatorName.toStdString();
    if (role != nullptr) text = std::string(role) + ": " + text;
    out.Print(object, text);
}

int OpenReadableRegister(const CCommandLine& line, const COutput& out,
                         std::unique_ptr<CCardRegister>& cardRegister) {
    cardRegister.reset();
    RegisterSettings settings;
    if (const int status = ChooseRegister(line, out, settings)) return status;
    if (!settings.enabled)
        return out.Fail(kExitRegister,
                        "the card register is switched off (in the station's settings, or by "
                        "--register off)");
    if (settings.kind == RegisterSettings::Kind::SQLite) {
        if (!QFileInfo::exists(RegisterFile(settings))) return kExitSuccess;
    }
    return OpenRegister(settings, out, cardRegister);
}

int ParseCardNumber(const COutput& out, const std::string& text, std::int64_t& number) {
    long long value = 0;
    if (!ParseInteger(text, 0, std::numeric_limits<long long>::max(), value))
        return out.Fail(kExitUsage, "card number '" + text + "' is not a number from 0");
    number = value;
    return kExitSuccess;
}

namespace {

// The rows passing the filter of the register for reading; none from a register not made yet.
int ReadRegister(const CCommandLine& line, const COutput& out, const RegisterFilter& filter,
                 std::vector<RegisterEntry>& rows) {
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenReadableRegister(line, out, cardRegister)) return status;
    if (!cardRegister) return kExitSuccess;
    auto listed = cardRegister->List(filter);
    if (!listed)
        return out.Fail(kExitRegister, "the card register (" +
                                           cardRegister->Where().toStdString() +
                                           ") cannot be read: " +
                                           cardRegister->LastError().toStdString());
    rows = std::move(*listed);
    return kExitSuccess;
}

int ParseDate(const CCommandLine& line, const COutput& out, const char* option, QDate& date) {
    const auto text = line.Value(option);
    if (!text) return kExitSuccess;
    date = QDate::fromString(QString::fromStdString(*text), Qt::ISODate);
    if (!date.isValid())
        return out.Fail(kExitUsage, std::string("--") + option + " takes a date YYYY-MM-DD, not '" +
                                        *text + "'");
    return kExitSuccess;
}

// --number, --uid, --from and --to of list and export.
int ParseFilter(const CCommandLine& line, const COutput& out, RegisterFilter& filter) {
    if (const auto number = line.Value("number")) {
        std::int64_t value = 0;
        if (const int status = ParseCardNumber(out, *number, value)) return status;
        filter.number = value;
    }
    filter.uid = QString::fromStdString(line.Value("uid").value_or(""));
    if (const int status = ParseDate(line, out, "from", filter.from)) return status;
    if (const int status = ParseDate(line, out, "to", filter.to)) return status;
    if (filter.from.isValid() && filter.to.isValid() && filter.to < filter.from)
        return out.Fail(kExitUsage, "--to is before --from");
    return kExitSuccess;
}

}  // namespace

int RunRegisterList(CommandContext& context) {
    RegisterFilter filter;
    if (const int status = ParseFilter(context.line, context.out, filter)) return status;
    std::vector<RegisterEntry> rows;
    if (const int status = ReadRegister(context.line, context.out, filter, rows)) return status;
    for (const RegisterEntry& entry : rows) PrintEntry(context.out, entry);
    return kExitSuccess;
}

namespace {

// Writes the register's rows into stream a page at a time; a register not made yet gives the
// header alone.
int ExportRows(const CCommandLine& line, const COutput& out, const RegisterFilter& filter,
               const CsvOptions& csv, QTextStream& stream, std::int64_t& rows) {
    rows = 0;
    std::unique_ptr<CCardRegister> cardRegister;
    if (const int status = OpenReadableRegister(line, out, cardRegister)) return status;
    if (!cardRegister) {
        WriteRegisterCsvHeader(stream, csv);
        return kExitSuccess;
    }
    if (cardRegister->ExportCsv(stream, filter, csv, rows)) return kExitSuccess;
    return out.Fail(kExitRegister, "the card register (" + cardRegister->Where().toStdString() +
                                       ") cannot be exported: " +
                                       cardRegister->LastError().toStdString());
}

}  // namespace

int RunRegisterExport(CommandContext& context) {
    const COutput& out = context.out;
    if (context.operands.size() > 1)
        return out.Fail(kExitUsage, "register export takes one file (or - for standard output)");
    RegisterFilter filter;
    if (const int status = ParseFilter(context.line, out, filter)) return status;
    station::CsvOptions csv;
    csv.byteOrderMark = context.line.Has("bom");
    if (const auto separator = context.line.Value("separator")) {
        if (*separator != "," && *separator != ";")
            return out.Fail(kExitUsage, "--separator takes , or ;");
        csv.separator = QLatin1Char((*separator)[0]);
    }
    if (context.line.Has("valid") || context.line.Has("blocked"))
        return RunAccessExport(context, csv);

    std::int64_t rows = 0;
    const std::string target = context.operands.empty() ? "-" : context.operands[0];
    if (target == "-") {
        QFile standardOutput;
        if (!standardOutput.open(stdout, QIODevice::WriteOnly))
            return out.Fail(kExitFailure, "standard output cannot be written");
        QTextStream stream(&standardOutput);
        if (const int status = ExportRows(context.line, out, filter, csv, stream, rows))
            return status;
        stream.flush();
        return stream.status() == QTextStream::Ok
                   ? kExitSuccess
                   : out.Fail(kExitFailure, "standard output cannot be written");
    }
    // Written beside the target and renamed into place, so an earlier export is never left cut
    // off half way.
    const QString path = QFileInfo(QString::fromStdString(target)).absoluteFilePath();
    QSaveFile file(path);
    if (!station::OpenPrivateSaveFile(file))
        return out.Fail(kExitFailure,
                        target + " cannot be written: " + file.errorString().toStdString());
    QTextStream stream(&file);
    if (const int status = ExportRows(context.line, out, filter, csv, stream, rows)) {
        file.cancelWriting();
        return status;
    }
    stream.flush();
    if (stream.status() != QTextStream::Ok || !file.commit())
        return out.Fail(kExitFailure,
                        target + " cannot be written: " + file.errorString().toStdString());
    CJson object;
    object.Add("exported", static_cast<long long>(rows)).Add("file", path.toStdString());
    out.Print(object, std::to_string(rows) + " cards exported to " + path.toStdString());
    return kExitSuccess;
}
