#include "RegisterSettingsStore.h"

#include "Settings.h"

namespace {

const QString kSection = QStringLiteral("Register");

}  // namespace

station::RegisterSettings ReadRegisterSettings() {
    return station::RegisterSettingsFrom([](const QString& key, const QString& defaultValue) {
        return GetSettingString(kSection, key, defaultValue);
    });
}

void StoreRegisterSettings(const station::RegisterSettings& settings) {
    using Kind = station::RegisterSettings::Kind;
    PutSettingInt(kSection, "Enabled", settings.enabled ? 1 : 0);
    PutSettingString(kSection, "Database",
                     settings.kind == Kind::PostgreSQL ? QStringLiteral("PostgreSQL")
                                                       : QStringLiteral("SQLite"));
    PutSettingString(kSection, "File", settings.file);
    PutSettingString(kSection, "Host", settings.host);
    PutSettingInt(kSection, "Port", settings.port);
    PutSettingString(kSection, "Name", settings.database);
    PutSettingString(kSection, "User", settings.user);
    PutSettingString(kSection, "SslMode", settings.sslMode);
    PutSettingString(kSection, "SslRootCert", settings.sslRootCert);
    PutSettingInt(kSection, "NextFree", settings.nextFree ? 1 : 0);
}
