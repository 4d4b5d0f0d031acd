// Feeds the reader's field for a write series the way an operator would: lays a fresh chip
// down, waits until a station has written a card onto it, takes it away and, after a pause,
// lays down the next, until the planned number of chips is written. It runs on a thread of its
// own and wakes on the engine's field observer, so it reacts to a write without polling.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "ReaderEngine.h"
#include "TransponderSnapshot.h"

namespace vsim {

class CardFeeder {
  public:
    static constexpr std::chrono::milliseconds kDefaultHold{200};

    struct Plan {
        int chipType = chip::kAta5577;
        unsigned count = 1;  // chips to feed in all
        // From taking a written card away to laying the next chip down.
        std::chrono::milliseconds pause{0};
        // From the card being complete on the chip to taking it away: an operator waits for
        // the station's lamp, and a station that reads the card back needs the chip so long.
        std::chrono::milliseconds hold{kDefaultHold};
    };

    enum class State {
        Idle,         // not started yet
        Waiting,      // a fed chip lies on the field and waits to be written
        Pausing,      // a written card was taken away; the next chip follows after the pause
        Done,         // every planned chip was written and taken away
        Stopped,      // ended by Stop before it was done
        Interrupted,  // the fed chip was removed or replaced by someone else
    };

    struct Progress {
        State state = State::Idle;
        Plan plan;
        unsigned fed = 0;      // chips laid down
        unsigned written = 0;  // chips written and taken away
    };

    explicit CardFeeder(ReaderEngine& engine);
    ~CardFeeder();
    CardFeeder(const CardFeeder&) = delete;
    CardFeeder& operator=(const CardFeeder&) = delete;

    // Ends a running feed, then lays the first fresh chip down at once, in place of anything
    // on the field. False, and nothing changes, for a chip type that cannot be made or a count
    // of 0.
    bool Start(const Plan& plan);
    // Ends a running feed; what lies on the field stays there.
    void Stop();

    Progress GetProgress() const;
    bool Running() const;
    // Waits until the feed has ended or the timeout has passed; true when it has ended.
    bool WaitUntilEnded(std::chrono::milliseconds timeout) const;

    // "idle", "waiting", "pausing", "done", "stopped", "interrupted".
    static const char* StateName(State state);

  private:
    static bool IsRunning(State state) {
        return state == State::Waiting || state == State::Pausing;
    }
    void Run(Plan plan, ChipId chip);
    // Asks the thread to end and joins it; the caller holds m_controlMutex.
    void EndThread();

    ReaderEngine& m_engine;
    int m_observerId = 0;

    mutable std::mutex m_mutex;
    // Signalled on field changes, stop requests and state changes.
    mutable std::condition_variable m_changed;
    Progress m_progress;
    uint64_t m_fieldEvents = 0;
    bool m_stopRequested = false;

    std::mutex m_controlMutex;  // keeps Start and Stop apart
    std::thread m_thread;
};

}  // namespace vsim
