// The read and write logs as the window writes them: the log files belong to the run
// library; the window words their failures with its string table.
#pragma once

#include <QString>

#include "station/LogFile.h"

using station::AddErrorLog;
using station::BuildLogLine;
using station::kLogAttempts;

// The string table's message for a file failure (an errno value) on path.
QString StationFileErrorText(int error, const QString& path);

// Appends line to the log at path as the run library does, with the failures worded by the
// string table.
bool AppendLogLine(const QString& path, const QString& line, QString& errorLog);
