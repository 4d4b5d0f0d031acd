#include "StationPort.h"

#include <QSettings>

namespace {

// The dialog stores the rate with a line-format code below 100 added.
constexpr int kFormatCodeRange = 100;
constexpr int kDefaultBaud = 19200;

}  // namespace

StationPort StoredStationPort() {
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             QStringLiteral("Qor Applikationen"), QStringLiteral("Orvex-FSK"));
    StationPort port;
    QString name = settings.value(QStringLiteral("Port/Name")).toString();
    for (const QString& prefix : {QStringLiteral("USB: "), QStringLiteral("LAN: ")}) {
        if (name.startsWith(prefix)) name = name.mid(prefix.size());
    }
    // A tagged list entry, "/dev/ttyACM0 [Qor Virtual COM]".
    if (const qsizetype bracket = name.indexOf(QStringLiteral(" [")); bracket > 0)
        name.truncate(bracket);
    port.name = name.toStdString();
    bool number = false;
    const int stored = settings.value(QStringLiteral("Port/Baudrate")).toInt(&number);
    const int baud = stored - stored % kFormatCodeRange;
    port.baud = number && baud > 0 ? baud : kDefaultBaud;
    return port;
}
