#include "RegisterText.h"

#include "StringTable.h"

namespace {

constexpr int kStrYes = 11143;
constexpr int kStrNo = 11144;
constexpr int kStrReserved = 11145;
constexpr int kStrWritten = 11146;
constexpr int kStrUnverified = 11149;

}  // namespace

QString RegisterTimeText(const QDateTime& time) {
    if (!time.isValid()) return {};
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString YesNoText(bool value) {
    return LoadString(value ? kStrYes : kStrNo);
}

QString RegisterStateText(station::RegisterEntry::State state) {
    switch (state) {
        case station::RegisterEntry::State::Written:
            return LoadString(kStrWritten);
        case station::RegisterEntry::State::Unverified:
            return LoadString(kStrUnverified);
        case station::RegisterEntry::State::Replaced:
        case station::RegisterEntry::State::Revoked:
            return station::StateText(state);
        case station::RegisterEntry::State::Reserved:
            break;
    }
    return LoadString(kStrReserved);
}
