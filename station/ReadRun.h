// The read runs of the station without their widgets: a single read, and the cyclic read
// that shows and logs a card only when its fields differ from what is shown, so a card held
// on the reader is shown once. What the run shows goes to a CRunView.
#pragma once

#include <QString>

#include "station/RunCard.h"
#include "station/RunView.h"
#include "station/Transponder.h"

namespace station {

enum class ReadOutcome {
    NewCard,   // a card was read and shown
    SameCard,  // the card shown is still there (cyclic read)
    Failed,    // nothing readable; the status says why
};

class CReadRun {
  public:
    CReadRun(CRunView& view, RunCard& card) : m_view(view), m_card(card) {}

    QString logPath;  // the read log; empty: no log

    // Reads once; a failed read keeps the fields the operator typed and clears the
    // identification.
    ReadOutcome ReadOnce();
    // One tick of the cyclic read; a failed read clears the fixed field too, so the next card
    // read differs from what is shown and is shown and logged.
    ReadOutcome ReadTick();

    // The SDK error of the last failed read, 0 after a good one.
    int LastError() const { return m_lastError; }

  private:
    bool Read(int& readFacility, QString& readCustomer, int& readFixed, QString& readUid);
    void WriteLog();

    CRunView& m_view;
    RunCard& m_card;
    int m_lastError = 0;
};

}  // namespace station
