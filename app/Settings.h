// The station's settings store: two levels (section, key), integers and strings, kept per
// user in an INI file ("Qor Applikationen/Orvex-FSK.ini" in the user's configuration
// folder). These four operations are the only way the station reads or writes it.
#pragma once

#include <QString>
#include <QVariant>

int GetSettingInt(const QString& section, const QString& key, int defaultValue);
QString GetSettingString(const QString& section, const QString& key, const QString& defaultValue);
// Both write the file at once; false when it could not be written (a read-only file rolled
// out by an administrator, a full disk).
bool PutSettingInt(const QString& section, const QString& key, int value);
bool PutSettingString(const QString& section, const QString& key, const QString& value);
// The settings file, for messages that name it.
QString SettingsFilePath();

// How a stored value reads: an integer is the trimmed text as a decimal number (a text that is
// no number, or no value, gives the default); a string is the text, a list the INI reader made
// of a text with commas joined again.
int SettingIntValue(const QVariant& value, int defaultValue);
QString SettingStringValue(const QVariant& value, const QString& defaultValue);
