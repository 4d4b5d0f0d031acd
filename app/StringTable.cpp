#include "StringTable.h"

#include <QCoreApplication>

namespace {

struct StringTableEntry {
    int id;
    struct {
        const char* source;
        const char* comment;
    } text;
};

// Each German text carries its id as the translation comment, so two ids with the same
// German text can still have different English ones.
constexpr StringTableEntry kGermanTable[] = {
#include "StringTableDe.inc"
};

}  // namespace

QString LoadString(int id) {
    for (const StringTableEntry& entry : kGermanTable) {
        if (entry.id == id)
            return QCoreApplication::translate("StringTable", entry.text.source,
                                               entry.text.comment);
    }
    return {};
}

QByteArray PrintfFormat(const QString& format) {
    QString text = format;
    text.replace("%I64", "%ll");
    return text.toUtf8();
}
