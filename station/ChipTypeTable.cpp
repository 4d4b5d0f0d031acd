#include "station/ChipTypeTable.h"

#include <cctype>

namespace station {

QString ChipName(int code) {
    for (const ChipTypeInfo& chip : kChipTypes) {
        if (chip.code == code) return QString::fromLatin1(chip.name);
    }
    return QStringLiteral("      ");
}

int ChipOfCommandName(std::string_view name) {
    for (const ChipTypeInfo& chip : kChipTypes) {
        const std::string_view known = chip.commandName;
        if (known.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) == known[i];
        if (same) return chip.code;
    }
    return -1;
}

const char* ChipCommandName(int code) {
    for (const ChipTypeInfo& chip : kChipTypes) {
        if (chip.code == code) return chip.commandName;
    }
    return "";
}

}  // namespace station
