// How the station words the card register's values: times in local time, the yes/no and
// state columns, a card's name, the events of its history and their reasons.
#pragma once

#include <QDateTime>
#include <QString>

#include "station/register/CardRegister.h"

// A register time (UTC) as the operator reads it: local time, "2026-12-10 17:04:31".
QString RegisterTimeText(const QDateTime& time);

QString YesNoText(bool value);
// The state column; a revoked card names its reason ("widerrufen (verloren)").
QString RegisterStateText(const station::RegisterEntry& entry);

// "26 Bit, Einrichtung 12, Nummer 4711": the card as the status line names it. formatText
// stands in for a format this program does not know.
QString CardNameText(int format, const QString& formatText, int facility, const QString& number);
QString CardNameText(const station::RegisterEntry& entry);

// A revoke reason in the operator's language.
QString RevokeReasonWords(station::RevokeReason reason);
// An event of a card's history ("reissued") and its reason ("lost", "confirmed") in the
// operator's language; a word this program does not know is shown as stored.
QString RegisterEventText(const QString& kind);
QString RegisterReasonText(const QString& reason);
