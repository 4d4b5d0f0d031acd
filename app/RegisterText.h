// How the station words the card register's values: times in local time, the yes/no and
// state columns.
#pragma once

#include <QDateTime>
#include <QString>

#include "station/register/CardRegister.h"

// A register time (UTC) as the operator reads it: local time, "2026-12-10 17:04:31".
QString RegisterTimeText(const QDateTime& time);

QString YesNoText(bool value);
QString RegisterStateText(station::RegisterEntry::State state);
