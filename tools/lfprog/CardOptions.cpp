#include "CardOptions.h"

#include <QDir>
#include <QFileInfo>
#include <limits>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"

using namespace station;

namespace {

constexpr long long kDefaultCycleMs = 250;

std::string FormatNames() {
    std::string names;
    for (const CardFormatInfo& format : kCardFormats)
        names += std::string(names.empty() ? "" : ", ") + format.commandName;
    return names;
}

std::string ChipNames() {
    std::string names;
    for (const ChipTypeInfo& chip : kChipTypes)
        names += std::string(names.empty() ? "" : ", ") + chip.commandName;
    return names;
}

std::string FormatName(int format) {
    return IsCardFormat(format) ? kCardFormats[format].commandName : "?";
}

}  // namespace

int ParseFormatAndChip(const CCommandLine& line, const COutput& out, CardChoice& choice) {
    const std::string format = line.Value("format").value_or("26");
    choice.format = FormatOfCommandName(format);
    if (choice.format < 0)
        return out.Fail(kExitUsage,
                        "unknown format '" + format + "' (one of " + FormatNames() + ")");
    const std::string chip = line.Value("chip").value_or("ata5577");
    choice.chipType = ChipOfCommandName(chip);
    if (choice.chipType < 0)
        return out.Fail(kExitUsage, "unknown chip '" + chip + "' (one of " + ChipNames() + ")");
    return kExitSuccess;
}

int ParseCardFields(const CCommandLine& line, const COutput& out, const char* numberOption,
                    CardChoice& choice) {
    const int format = choice.format;
    const CardFormatInfo& info = kCardFormats[format];
    constexpr long long kAny = std::numeric_limits<long long>::max();
    long long value = 0;
    // An optional field of the format: refused where the format has none, else in range.
    auto parseField = [&](const char* option, const char* what, bool has, int largest,
                          int& target) -> int {
        const auto text = line.Value(option);
        if (!text) return kExitSuccess;
        if (!has) return out.Fail(kExitUsage, "format " + FormatName(format) + " has no " + what);
        if (!ParseInteger(*text, std::numeric_limits<long long>::min(), kAny, value) || value < 0 ||
            value > largest)
            return out.Fail(kExitUsage, std::string(what) + " '" + *text +
                                            "' does not fit format " + FormatName(format) +
                                            " (0 to " + std::to_string(largest) + ")");
        target = static_cast<int>(value);
        return kExitSuccess;
    };
    if (const int status = parseField("facility", "facility code", FormatHasFacility(format),
                                      info.maxFacility, choice.fields.facility))
        return status;
    if (const int status = parseField("extra", "extra field", FormatHasFixedField(format),
                                      info.maxFixed, choice.fields.fixed))
        return status;
    const auto number = line.Value(numberOption);
    if (!number) return out.Fail(kExitUsage, std::string("--") + numberOption + " is missing");
    if (!ParseInteger(*number, std::numeric_limits<long long>::min(), kAny, value) || value < 0 ||
        value > info.maxCustomer)
        return out.Fail(kExitUsage, "number '" + *number + "' does not fit format " +
                                        FormatName(format) + " (0 to " +
                                        std::to_string(info.maxCustomer) + ")");
    choice.fields.number = value;
    return kExitSuccess;
}

std::string DescribeCard(int format, const CardFields& fields) {
    std::string text = FormatName(format);
    if (FormatHasFacility(format)) text += " facility " + std::to_string(fields.facility);
    text += " number " + std::to_string(fields.number);
    if (FormatHasFixedField(format)) text += " extra " + std::to_string(fields.fixed);
    return text;
}

void AddCard(CJson& object, int format, const CardFields& fields) {
    object.Add("format", FormatName(format));
    if (FormatHasFacility(format)) object.Add("facility", fields.facility);
    object.Add("number", static_cast<long long>(fields.number));
    if (FormatHasFixedField(format)) object.Add("extra", fields.fixed);
}

int ParseCycle(const CCommandLine& line, const COutput& out, int& cycleMs) {
    long long value = kDefaultCycleMs;
    if (const auto text = line.Value("cycle"); text && !ParseInteger(*text, 1, 60000, value))
        return out.Fail(kExitUsage, "--cycle takes milliseconds from 1 to 60000");
    cycleMs = static_cast<int>(value);
    return kExitSuccess;
}

std::string LogPath(const CCommandLine& line) {
    const auto path = line.Value("log");
    if (!path || path->empty()) return {};
    return QFileInfo(QString::fromStdString(*path)).absoluteFilePath().toStdString();
}

RunCard MakeRunCard(int handle, const CardChoice& choice) {
    RunCard card;
    card.target = CardTarget{handle, choice.format, choice.chipType};
    card.facility = choice.fields.facility;
    card.customer = QString::number(static_cast<long long>(choice.fields.number));
    card.fixed = choice.fields.fixed;
    return card;
}

void SetWriteOptions(WriteOptions& options, const CCommandLine& line) {
    options.lock = line.Has("lock");
    options.verify = !line.Has("no-verify");
    options.logPath = QString::fromStdString(LogPath(line));
}
