// What a read or write run shows and asks while it works. The main window implements it
// with its status line, lamps, signals and message boxes; the command line prints.
#pragma once

#include <QString>

#include "station/CardNumbers.h"
#include "station/StatusMessage.h"

namespace station {

// The three signal lamps of a write series.
enum class LampState { Failed = 1, Writing = 2, Written = 3 };

// A card a write run has just written.
struct WrittenCard {
    CardFields fields;
    QString customer;  // the number as the operator's field showed it
    QString uid;       // the chip identification, empty where the chip has none
    bool verified = false;
};

class CRunView {
  public:
    virtual ~CRunView() = default;

    // The status line; errorCode is the SDK's error where the message stands for one.
    virtual void ShowStatus(StatusMessage message, int errorCode) = 0;
    virtual void ShowLamps(LampState state) = 0;
    virtual void SignalSuccess() = 0;
    virtual void SignalFailure() = 0;
    // The run's card data (number, fields, identification, count) changed.
    virtual void ShowFields() = 0;
    // A log line could not be written after every attempt; the card itself is done.
    virtual void ReportLogFailure() = 0;
    // A card was written (and verified when asked) and counted.
    virtual void CardWritten(const WrittenCard& card) = 0;
};

}  // namespace station
