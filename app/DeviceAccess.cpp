#include "DeviceAccess.h"

#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

constexpr char kHidSuffix[] = " HID";
// The name the SDK gives a HID reader without a readable serial number.
constexpr char kUnknownSerial[] = "4826-????";

bool CanReadWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

// The serial number in a hidraw node's uevent (HID_UNIQ), empty when there is none.
QString HidSerial(const QString& hidrawDir) {
    QFile uevent(hidrawDir + QStringLiteral("/device/uevent"));
    if (!uevent.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : uevent.readAll().split('\n')) {
        if (line.startsWith("HID_UNIQ=")) return QString::fromUtf8(line.mid(9)).trimmed();
    }
    return {};
}

}  // namespace

bool CanOpenDevice(const QString& name) {
    if (name.startsWith(QLatin1String("/dev/"))) return CanReadWrite(name);
    if (!name.endsWith(QLatin1String(kHidSuffix))) return true;
    QString serial = name.chopped(static_cast<int>(sizeof kHidSuffix) - 1);
    if (serial == QLatin1String(kUnknownSerial)) serial.clear();
    const QDir hidraw(QStringLiteral("/sys/class/hidraw"));
    for (const QString& node : hidraw.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (HidSerial(hidraw.filePath(node)) == serial)
            return CanReadWrite(QStringLiteral("/dev/") + node);
    }
    return true;
}
