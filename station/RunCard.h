// The card data the read and write runs of one station work on, as the operator's fields
// show them. The runs change it (a card read, the next number, the identification), the
// front shows it; the window keeps its field members as names of these.
#pragma once

#include <QString>

#include "station/LogFile.h"
#include "station/Transponder.h"

namespace station {

struct RunCard {
    CardTarget target;
    int facility = 0;
    QString customer = QStringLiteral("0");  // decimal text, read as a 64-bit number
    int fixed = 0;
    QString uid;  // the chip identification, upper-case hexadecimal
    // Failures collected during a run (log lines, verifications), shown when it stops.
    QString errorLog;
    // How a log file's failure is worded in the error list.
    FileErrorText fileErrorText = SystemFileErrorText;
};

}  // namespace station
