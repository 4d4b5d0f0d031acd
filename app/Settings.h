// The station's settings store: two levels (section, key), integers and strings, kept per
// user in an INI file ("Qor Applikationen/Orvex-FSK.ini" in the user's configuration
// folder). These four operations are the only way the station reads or writes it.
#pragma once

#include <QString>

int GetSettingInt(const QString& section, const QString& key, int defaultValue);
QString GetSettingString(const QString& section, const QString& key, const QString& defaultValue);
void PutSettingInt(const QString& section, const QString& key, int value);
void PutSettingString(const QString& section, const QString& key, const QString& value);
