#include "Settings.h"

#include <QFileInfo>
#include <QSettings>

#include "PrivateFolder.h"

namespace {

QSettings Store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Qor Applikationen", "Orvex-FSK");
}

QString Path(const QString& section, const QString& key) {
    return section + '/' + key;
}

// Writes value and syncs; the settings folder is made owner-only when this creates it.
bool Put(const QString& section, const QString& key, const QVariant& value) {
    QSettings store = Store();
    MakePrivateFolder(QFileInfo(store.fileName()).absolutePath());
    store.setValue(Path(section, key), value);
    store.sync();
    return store.status() == QSettings::NoError;
}

}  // namespace

int SettingIntValue(const QVariant& value, int defaultValue) {
    if (!value.isValid()) return defaultValue;
    // A hand-edited value that is no integer reads as missing rather than as 0.
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? number : defaultValue;
}

QString SettingStringValue(const QVariant& value, const QString& defaultValue) {
    if (!value.isValid()) return defaultValue;
    // The INI reader turns an unquoted text with commas into a list; give the text back.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',');
    return value.toString();
}

int GetSettingInt(const QString& section, const QString& key, int defaultValue) {
    return SettingIntValue(Store().value(Path(section, key)), defaultValue);
}

QString GetSettingString(const QString& section, const QString& key, const QString& defaultValue) {
    return SettingStringValue(Store().value(Path(section, key)), defaultValue);
}

bool PutSettingInt(const QString& section, const QString& key, int value) {
    return Put(section, key, value);
}

bool PutSettingString(const QString& section, const QString& key, const QString& value) {
    return Put(section, key, value);
}

QString SettingsFilePath() {
    return Store().fileName();
}
