// The read runs of the station without their widgets: a single read, and the cyclic read
// that shows and logs a card only when it differs from the card it showed last, so a card held
// on the reader is shown once. What the run shows goes to a CRunView.
#pragma once

#include <QString>
#include <optional>

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
    // Begins a cyclic read: the first card read is shown and logged, whatever the fields hold.
    void StartCyclic() { m_shownCard.reset(); }
    // One tick of the cyclic read. A failed read (the card taken away) clears the
    // identification only: the fields keep the last card read, for a write series started
    // next, and the next card read is shown and logged even when it equals them.
    ReadOutcome ReadTick();

    // The SDK error of the last failed read, 0 after a good one.
    int LastError() const { return m_lastError; }

  private:
    bool Read(int& readFacility, QString& readCustomer, int& readFixed, QString& readUid);
    // The card the fields now hold, as the log and the view name it.
    CardRecord FieldsCard() const;
    // Logs the card just read and tells the view what was read.
    void ReportCard();

    // The card the cyclic read shows, kept apart from the fields the operator may type in.
    struct ShownCard {
        int facility = 0;
        QString customer;
        int fixed = 0;
        bool operator==(const ShownCard&) const = default;
    };

    CRunView& m_view;
    RunCard& m_card;
    int m_lastError = 0;
    std::optional<ShownCard> m_shownCard;  // none after a failed read
};

}  // namespace station
