// A run's card in its log file, and in the error list when the line is lost.
#pragma once

#include <QString>

#include "station/LogFile.h"
#include "station/RunView.h"

namespace station {

// Appends the card's log line (text: "Locked", "not Locked", or "" for reads) to path. When
// every attempt failed, adds the front's entry for the card to errorLog, tells the view and
// returns false.
bool LogCard(CRunView& view, const QString& path, const CardRecord& card, const QString& text,
             QString& errorLog, const FileErrorText& fileErrorText);

}  // namespace station
