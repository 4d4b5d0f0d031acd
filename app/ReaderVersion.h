// How the station reads a reader's four version characters: the first three are the
// device type (hexadecimal), the fourth the firmware's minor version.
#pragma once

#include <QString>

// True for the device types the station works with.
bool IsSupportedDevice(const QString& version);

// The firmware minor version of the fourth character: '0'..'9' 0..9, 'A'..'Z' 10..35,
// 'a'..'z' 36..61, anything else 255.
int FirmwareDigitValue(QChar digit);
