// Folders that hold issued cards or the station's settings: a log line or a stored number is
// all it takes to copy a card, so what the station creates is for its user only.
#pragma once

#include <QString>

// Creates path and every missing folder above it with mode 0700; folders that exist keep
// their mode. False when path is no folder afterwards.
bool MakePrivateFolder(const QString& path);

// True for the folders of installed programs (under /usr), where even a station started as
// root keeps no files.
bool IsSystemFolder(const QString& path);
