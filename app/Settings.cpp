#include "Settings.h"

#include <QSettings>

namespace {

QSettings Store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Qor Applikationen", "Orvex-FSK");
}

QString Path(const QString& section, const QString& key) {
    return section + '/' + key;
}

}  // namespace

int GetSettingInt(const QString& section, const QString& key, int defaultValue) {
    const QVariant value = Store().value(Path(section, key));
    if (!value.isValid()) return defaultValue;
    // A hand-edited value that is no integer reads as missing rather than as 0.
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? number : defaultValue;
}

QString GetSettingString(const QString& section, const QString& key, const QString& defaultValue) {
    const QVariant value = Store().value(Path(section, key));
    if (!value.isValid()) return defaultValue;
    // The INI reader turns an unquoted text with commas into a list; give the text back.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',');
    return value.toString();
}

void PutSettingInt(const QString& section, const QString& key, int value) {
    Store().setValue(Path(section, key), value);
}

void PutSettingString(const QString& section, const QString& key, const QString& value) {
    Store().setValue(Path(section, key), value);
}
