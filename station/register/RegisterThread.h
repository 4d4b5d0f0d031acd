// A thread of its own for a register's calls, so that a database that goes silent holds that
// thread, never the caller's: the caller waits with a deadline and keeps its event loop going
// through a pump while it waits. Calls run one after another in the order given.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace station {

class CRegisterThread {
  public:
    // What became of a call.
    enum class Outcome {
        Done,      // it ran and returned
        TimedOut,  // it did not return within the timeout; it goes on running, abandoned
        Stuck,     // not started: an earlier call that timed out has not returned yet
    };

    // pump runs the caller's pending events between short waits; empty: the caller just
    // waits.
    CRegisterThread(std::chrono::milliseconds timeout, std::function<void()> pump);
    // Tells the thread to end once its current call returns; never waits for a stuck one.
    ~CRegisterThread();
    CRegisterThread(const CRegisterThread&) = delete;
    CRegisterThread& operator=(const CRegisterThread&) = delete;

    std::chrono::milliseconds Timeout() const { return m_timeout; }

    // Runs work on the thread and waits for it, pumping unless told not to (a caller in the
    // middle of tearing down). Work that times out must own what it touches, since the
    // caller returns before it does.
    Outcome Run(std::function<void()> work, bool pump = true);
    // True on the thread itself, where calls run directly.
    bool OnThread() const;
    // True while a call that timed out has not returned.
    bool Stuck() const;
    // Runs last on the thread once the stuck call returns (or at once on it when none is
    // stuck), then the thread ends; for disposing of what the stuck call still uses.
    void Finally(std::function<void()> last);

    // For the whole of every wait that pumps, of every register of the process: mark(true)
    // before the first pump, mark(false) once the wait is over, on the caller's thread. So
    // that a user interface can hold back what must not run inside a call (its commands), as
    // with the reader's wait hooks. Empty (the default): none.
    static void SetWaitMark(std::function<void(bool)> mark);

  private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::chrono::milliseconds m_timeout;
    std::function<void()> m_pump;
};

}  // namespace station
