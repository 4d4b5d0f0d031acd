#include "RegisterText.h"

#include <array>
#include <utility>

#include "CardFormats.h"
#include "StringTable.h"

namespace {

constexpr int kStrCard = 11110;
constexpr int kStrCardNoFacility = 11111;
constexpr int kStrVerified = 11112;
constexpr int kStrYes = 11143;
constexpr int kStrNo = 11144;
constexpr int kStrReserved = 11145;
constexpr int kStrWritten = 11146;
constexpr int kStrUnverified = 11149;
constexpr int kStrReplaced = 11240;
constexpr int kStrRevokedWithReason = 11241;
constexpr int kStrLost = 11242;
constexpr int kStrStolen = 11243;
constexpr int kStrReturned = 11244;
constexpr int kStrDestroyed = 11245;
constexpr int kStrReservedEvent = 11246;
constexpr int kStrReissued = 11247;
constexpr int kStrRevoked = 11248;
constexpr int kStrReleased = 11249;
constexpr int kStrResolved = 11250;
constexpr int kStrConfirmed = 11251;

// The stored words of events and reasons with their string ids.
constexpr std::array<std::pair<const char*, int>, 9> kEventWords{{
    {"reserved", kStrReservedEvent},
    {"written", kStrWritten},
    {"verified", kStrVerified},
    {"unverified", kStrUnverified},
    {"reissued", kStrReissued},
    {"replaced", kStrReplaced},
    {"revoked", kStrRevoked},
    {"released", kStrReleased},
    {"resolved", kStrResolved},
}};
constexpr std::array<std::pair<const char*, int>, 2> kResolveWords{{
    {"confirmed", kStrConfirmed},
    {"released", kStrReleased},
}};

template <std::size_t N>
QString Lookup(const std::array<std::pair<const char*, int>, N>& words, const QString& word) {
    for (const auto& [stored, id] : words) {
        if (word == QLatin1String(stored)) return LoadString(id);
    }
    return word;
}

}  // namespace

QString RegisterTimeText(const QDateTime& time) {
    if (!time.isValid()) return {};
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString YesNoText(bool value) {
    return LoadString(value ? kStrYes : kStrNo);
}

QString RegisterStateText(const station::RegisterEntry& entry) {
    using State = station::RegisterEntry::State;
    switch (entry.state) {
        case State::Written:
            return LoadString(kStrWritten);
        case State::Unverified:
            return LoadString(kStrUnverified);
        case State::Replaced:
            return LoadString(kStrReplaced);
        case State::Revoked:
            return LoadString(kStrRevokedWithReason).arg(RegisterReasonText(entry.reason));
        case State::Reserved:
            break;
    }
    return LoadString(kStrReserved);
}

QString CardNameText(int format, const QString& formatText, int facility, const QString& number) {
    const QString name =
        IsCardFormat(format) ? QString::fromLatin1(kCardFormats[format].logName) : formatText;
    if (IsCardFormat(format) && !FormatHasFacility(format))
        return LoadString(kStrCardNoFacility).arg(name, number);
    return LoadString(kStrCard).arg(name).arg(facility).arg(number);
}

QString CardNameText(const station::RegisterEntry& entry) {
    return CardNameText(entry.format, entry.formatText, entry.fields.facility,
                        QString::number(entry.fields.number));
}

QString RevokeReasonWords(station::RevokeReason reason) {
    switch (reason) {
        case station::RevokeReason::Lost:
            return LoadString(kStrLost);
        case station::RevokeReason::Stolen:
            return LoadString(kStrStolen);
        case station::RevokeReason::Returned:
            return LoadString(kStrReturned);
        case station::RevokeReason::Destroyed:
            break;
    }
    return LoadString(kStrDestroyed);
}

QString RegisterEventText(const QString& kind) {
    return Lookup(kEventWords, kind);
}

QString RegisterReasonText(const QString& reason) {
    if (const auto revoke = station::RevokeReasonFromText(reason))
        return RevokeReasonWords(*revoke);
    return Lookup(kResolveWords, reason);
}
