// The register's rows as CSV for spreadsheets and other programs.
#include <QStringList>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/register/CardRegister.h"
#include "station/register/SpreadsheetCell.h"

namespace station {

namespace {

const QLatin1String kLineEnd("\r\n");

// A linked row's id, empty for none.
QString Row(std::int64_t id) {
    return id != 0 ? QString::number(static_cast<long long>(id)) : QString();
}

QString Flag(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

void WriteRegisterCsv(QTextStream& out, const std::vector<RegisterEntry>& entries,
                      const CsvOptions& options, const PersonnelNumbers& holders) {
    WriteRegisterCsvHeader(out, options);
    WriteRegisterCsvRows(out, entries, options, holders);
}

void WriteRegisterCsvHeader(QTextStream& out, const CsvOptions& options) {
    if (options.byteOrderMark) out << QChar(0xFEFF);
    // The columns of the card's life, then the holder's, come last, so that readers of the
    // earlier columns by position still find them.
    const QStringList header = {"id",     "format",   "facility",   "number",   "extra",
                                "chip",   "chip_id",  "locked",     "verified", "reissue",
                                "state",  "time",     "station",    "operator", "program_version",
                                "reason", "replaces", "replaced_by", "personnel_number"};
    out << header.join(options.separator) << kLineEnd;
}

void WriteRegisterCsvRows(QTextStream& out, const std::vector<RegisterEntry>& entries,
                          const CsvOptions& options, const PersonnelNumbers& holders) {
    for (const RegisterEntry& entry : entries) {
        const QString chip = QString::fromLatin1(ChipCommandName(entry.chipType));
        const QStringList fields = {
            QString::number(static_cast<long long>(entry.id)),
            !entry.formatText.isEmpty() ? entry.formatText
            : IsCardFormat(entry.format)
                ? QString::fromLatin1(kCardFormats[entry.format].commandName)
                : QString::number(entry.format),
            QString::number(entry.fields.facility),
            QString::number(static_cast<long long>(entry.fields.number)),
            QString::number(entry.fields.fixed),
            !entry.chipText.isEmpty() ? entry.chipText
            : chip.isEmpty()          ? QString::number(entry.chipType)
                                      : chip,
            entry.uid,
            Flag(entry.locked),
            Flag(entry.verified),
            Flag(entry.reissue),
            StateText(entry.state),
            entry.time.toUTC().toString(Qt::ISODate),
            entry.station,
            entry.operatorName,
            entry.programVersion,
            entry.reason,
            Row(entry.replaces),
            Row(entry.replacedBy),
            entry.holder != 0 ? holders.value(entry.holder) : QString(),
        };
        QStringList quoted;
        for (const QString& field : fields) quoted << CsvField(field, options.separator);
        out << quoted.join(options.separator) << kLineEnd;
    }
}

}  // namespace station
