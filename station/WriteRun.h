// The write runs of the station without their widgets: a single write, and the write series
// that waits for transponders, writes each new one once, counts it, raises the customer
// number, and stops at a count, an end value or the format's largest number. A chip that
// stays on the reader is not written twice; it must be absent for more than two seconds
// before the same chip counts as new again. What the run shows goes to a CRunView.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "station/RunCard.h"
#include "station/RunView.h"
#include "station/Transponder.h"

namespace station {

class CCardRegister;
class CHolderQueue;
struct RegisterEntry;
struct EarlierCard;

struct WriteOptions {
    bool lock = false;
    bool autoIncrement = false;
    bool stopAtCount = false;
    int stopCount = 0;
    bool stopAtEnd = false;
    QString endValue = QStringLiteral("0");
    // Read every card back after writing; a card that does not hold what was written counts
    // as a failed write.
    bool verify = false;
    QString logPath;  // the write log; empty: no log
    // A single write takes the register's next free number from the customer number on
    // (a series does so when the register's settings say so, and always over holders).
    bool nextFree = false;
};

enum class WriteOutcome {
    NoCard,     // no transponder answered
    Protected,  // the chip is write-protected
    Written,
    Failed,  // the write or its verification failed
    // On the chip, but the register could not confirm its row (it stays reserved): a failure.
    Unconfirmed,
};

// Why a series cannot start.
enum class SeriesRefusal { None, EndBelowStart, CountZero };

// A series tick.
enum class TickOutcome {
    Waiting,    // no transponder
    Held,       // the transponder written last is still there
    Protected,  // a write-protected chip
    Written,
    Failed,
    Stopped,  // the register refused the card; Ended() says why, nothing was written
    // Written and counted, but the register could not confirm it; the series ends
    // (RegisterFailed).
    Unconfirmed,
};

// Why a series ended by itself.
enum class SeriesEnd { Running, Count, EndValue, Limit, Duplicate, RegisterFailed, NoFreeNumber,
                       NumberNotStored,
                       HoldersServed,  // a series over holders: every holder has a card
};

class CWriteRun {
  public:
    // A millisecond counter that wraps at 32 bits; tests pass their own.
    using TickClock = std::function<std::uint32_t()>;

    CWriteRun(CRunView& view, RunCard& card, TickClock clock = {});

    // The card register every write goes through; nullptr: the register is switched off.
    void SetRegister(CCardRegister* cardRegister) { m_register = cardRegister; }
    // A series over holders: each card goes to the queue's current holder, with the
    // register's next free number from the series' start; nullptr: a series of numbers.
    // Needs the register. The queue must outlive the series.
    void SetHolderQueue(CHolderQueue* queue) { m_queue = queue; }

    WriteOptions options;

    // Run state.
    int count = 0;                  // successful writes of the series
    std::int64_t lastId = 0;        // the transponder seen last, 0 none
    std::uint32_t absentSince = 0;  // when it went away, 0 while present or none

    // Writes the transponder on the reader once.
    WriteOutcome WriteOnce();

    SeriesRefusal CheckSeriesStart() const;
    // Clears the count, the identity and the error list; a series over holders shows its
    // first holder (or ends at once with HoldersServed when nobody waits).
    void StartSeries();
    TickOutcome SeriesTick();
    SeriesEnd Ended() const { return m_end; }

    // The customer number as a 64-bit number.
    std::int64_t Number() const;
    CardFields Fields() const;

  private:
    enum class CardResult {
        Written,
        Failed,      // the write failed before a block reached the chip
        Unverified,  // the write went out but failed or did not verify: the number stays held
        Refused,  // the register holds no row for the card; nothing was written
        Unconfirmed,  // on the chip and counted, but its row could not be confirmed
        ChipTaken,    // the chip carries a valid card of the register; nothing was written
    };
    enum class ChipCheck {
        Free,       // no valid card of the register on the chip
        Overwrite,  // one, and the operator writes over it
        Refused,    // one, not written over (shown)
        Failed,     // the register cannot tell (shown; a series ends)
    };

    // Looks the chip on the reader up in the register before it is written; onChip receives
    // the valid card it carries.
    ChipCheck CheckChip(const CardRecord& card, bool inSeries,
                        std::optional<RegisterEntry>& onChip);

    // Reserves the card's number in the register, writes, verifies when asked, logs, counts
    // and confirms the register's row; shows what failed.
    CardResult WriteCurrentCard(bool inSeries);
    bool RegisterActive() const;
    // Reserves card's number (in a next-free series: takes it from the register); false
    // after a refusal, which it has shown, and which in a series ends it.
    bool ReserveCard(CardRecord& card, bool inSeries, std::int64_t& rowId);
    bool TakesNextFree(bool inSeries) const;
    // Where a next-free reservation searches from: the series' start, or a single write's
    // number.
    std::int64_t NextFreeStart(bool inSeries) const;
    // Shows the queue's current holder (nobody when the queue is done or absent).
    void ShowCurrentHolder();
    // The current holder has a card by now: card goes to the next one; false (the series
    // ended with HoldersServed) when nobody is left.
    bool SkipHolder(CardRecord& card);
    // The cards a written card takes the place of, replaced in the transaction that confirms
    // it: the chip's earlier card, the holder's unverified ones, a single write's replaced one.
    std::vector<EarlierCard> EarlierCards(const std::optional<RegisterEntry>& onChip,
                                          bool inSeries) const;
    // The holder's unverified cards from this series, which a card held unverified for the
    // same holder replaces.
    std::vector<EarlierCard> HolderUnverified(bool inSeries) const;
    // The highest number a next-free series may take.
    std::int64_t NextFreeLimit() const;
    // Reads the card back; on a mismatch or a failed read-back sets status and lists the card.
    bool Verify(const CardRecord& card, Status& status);
    void ShowFailure(const Status& status, bool inSeries);
    CardRecord Record() const;
    void IncrementCustomerNr();
    SeriesEnd StopTest() const;
    void ShowNoTransponder();

    CRunView& m_view;
    RunCard& m_card;
    TickClock m_clock;
    SeriesEnd m_end = SeriesEnd::Running;
    bool m_readerSilent = false;
    CCardRegister* m_register = nullptr;
    // A next-free series searches from here, so that a number released by a failed card is
    // filled again.
    std::int64_t m_seriesStart = 0;
    CHolderQueue* m_queue = nullptr;
    // The cards this series wrote for the current holder that did not verify (or whose
    // outcome the register did not take): the holder's next card replaces them.
    std::vector<std::int64_t> m_unverifiedForHolder;
};

}  // namespace station
