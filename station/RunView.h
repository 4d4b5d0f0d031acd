// What a read or write run shows, stores and asks while it works. The main window implements
// it with its status line, lamps, signals, settings and message boxes; the command line
// prints. Texts for the operator come from the view, so each front speaks its own words.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

#include "station/CardNumbers.h"
#include "station/StatusMessage.h"

namespace station {

struct RegisterEntry;

// The three signal lamps of a write series. Red (Failed) also while waiting for the next chip;
// WriteFailed is a red that flashes until the failed chip is taken away, so that a failure is
// told apart from waiting.
enum class LampState { Failed = 1, Writing = 2, Written = 3, WriteFailed = 4 };

// A card a run has read, written or tried to write.
struct CardRecord {
    int format = 0;
    int chipType = 0;
    CardFields fields;  // facility 0 for formats without a facility code
    QString customer;   // the number as the operator's field showed it
    QString uid;        // the chip identification, empty where the chip has none
    bool verified = false;
    std::int64_t holder = 0;  // the holder's row the card is issued to, 0: nobody
    // A series over people: refused (HolderHasCard) when the holder has a valid or reserved
    // card by the time the reservation is made.
    bool holderMustBeWithoutCard = false;
};

class CRunView {
  public:
    virtual ~CRunView() = default;

    virtual void ShowStatus(const Status& status) = 0;
    virtual void ShowLamps(LampState state) = 0;
    // Sounds the signal; the run has counted the card already.
    virtual void SignalSuccess() = 0;
    virtual void SignalFailure() = 0;
    // The run's card data (number, fields, identification, count) changed.
    virtual void ShowFields() = 0;
    // Keeps the number the next card gets, so that a station ended at any moment goes on
    // with it, never with a number a chip may already hold.
    virtual void StoreNextNumber(const QString& number) = 0;
    // Returns once the numbers given so far are kept (a view may store them in the
    // background); false when one of them could not be stored.
    virtual bool WaitUntilNumberStored() = 0;
    // A card was written (and verified when asked) and counted; the status line names it.
    virtual void CardWritten(const CardRecord& card) = 0;
    // A card was read into the fields (and logged when asked). A view that names it says
    // what was read; by default the status line is emptied.
    virtual void CardRead(const CardRecord& card) {
        (void)card;
        ShowStatus(Status{});
    }
    // The person the next card of a series over holders is for (empty: nobody left). Shown on
    // its own, never on the status line, traced or logged: a name is personal data.
    virtual void ShowHolder(const QString& name) { (void)name; }
    // A log line could not be written after every attempt; the card itself is done.
    virtual void ReportLogFailure() = 0;
    // The error list's entries, in the front's words: a card that was written but failed its
    // verification (status says how), and a card whose log line was lost.
    virtual QString FailedCardEntry(const Status& status, const CardRecord& card) = 0;
    virtual QString NotLoggedEntry(const CardRecord& card, const QDateTime& when) = 0;
    // The entry of a card that is on its chip but whose row the register could not confirm
    // (it stays reserved); reason in the register's words.
    virtual QString NotConfirmedEntry(const CardRecord& card, const QString& reason) {
        return FailedCardEntry(Status{StatusMessage::RegisterFailed, 0, false, reason}, card);
    }
    // A single write's number was issued before (earlier names that card's chip, chip type
    // and time): true when the operator deliberately issues it again, as a replacement, for
    // the reason the view puts in reason (may stay empty).
    virtual bool ConfirmReissue(const CardRecord& card, const RegisterEntry& earlier,
                                QString& reason) {
        (void)card;
        (void)earlier;
        (void)reason;
        return false;
    }
    // The chip a single write is about to write carries onChip, a valid card of the register
    // (written since onChip.time): true when the operator deliberately writes card over it;
    // the earlier card then counts as replaced. No is the safe answer.
    virtual bool ConfirmOverwrite(const CardRecord& card, const RegisterEntry& onChip) {
        (void)card;
        (void)onChip;
        return false;
    }
};

}  // namespace station
