#include "RegisterText.h"

#include "StringTable.h"

namespace {

constexpr int kStrYes = 11143;
constexpr int kStrNo = 11144;
constexpr int kStrReserved = 11145;
constexpr int kStrWritten = 11146;

}  // namespace

QString RegisterTimeText(const QDateTime& time) {
    if (!time.isValid()) return {};
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString YesNoText(bool value) {
    return LoadString(value ? kStrYes : kStrNo);
}

QString RegisterStateText(station::RegisterEntry::State state) {
    return LoadString(state == station::RegisterEntry::State::Written ? kStrWritten : kStrReserved);
}
