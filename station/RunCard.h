// The card data the read and write runs of one station work on, as the operator's fields
// show them. The runs change it (a card read, the next number, the identification), the
// front shows it; the window keeps its field members as names of these.
#pragma once

#include <QString>
#include <cstdint>

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
    // The person the card is for (a holder's row in the register), 0: nobody. holderName is
    // for the view alone: personal data never reaches the write log or a traced line.
    std::int64_t holder = 0;
    QString holderName;
    // A single write for a holder who has a valid card already: the operator chose a second
    // card, or a replacement of the card in row replaces (which then counts as replaced, with
    // replaceReason). Neither: the register refuses the card when the holder has one.
    bool secondCard = false;
    std::int64_t replaces = 0;
    QString replaceReason;
};

}  // namespace station
