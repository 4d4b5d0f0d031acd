// Values of the station's settings file as a user may have edited it: the texts the INI
// reader hands over (a text, or a list when it held commas) turned into the numbers and texts
// the station reads. The bytes are the text; a comma makes it a list as the reader does.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QVariant asText(text);
    const QVariant asList(text.split(QLatin1Char(',')));
    for (const QVariant& value : {asText, asList, QVariant()}) {
        const int number = SettingIntValue(value, -7);
        // A number is only ever what the text says, or the default.
        bool ok = false;
        const int direct = value.toString().trimmed().toInt(&ok);
        if (number != (ok ? direct : -7)) std::abort();
        const QString string = SettingStringValue(value, QStringLiteral("default"));
        if (value.isValid() && value.typeId() == QMetaType::QStringList && string != text) {
            std::abort();
        }
    }
    return 0;
}
