#include "station/register/RegisterThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace station {

namespace {

// The longest the caller sleeps between two pumps: well below a frame, so that its timers
// fire on time while it waits.
constexpr std::chrono::milliseconds kPumpSlice{2};

struct Job {
    std::function<void()> work;
    bool started = false;
    bool finished = false;
    bool cancelled = false;  // its caller gave up before it started
};

std::mutex g_markMutex;
std::function<void(bool)> g_waitMark;

std::function<void(bool)> WaitMark() {
    const std::lock_guard lock(g_markMutex);
    return g_waitMark;
}

// Raises the caller's mark for a wait's life: a command it holds back must not run between
// two pumps either.
class WaitMarkScope {
  public:
    explicit WaitMarkScope(bool pumping) : m_mark(pumping ? WaitMark() : nullptr) {
        if (m_mark) m_mark(true);
    }
    ~WaitMarkScope() {
        if (m_mark) m_mark(false);
    }
    WaitMarkScope(const WaitMarkScope&) = delete;
    WaitMarkScope& operator=(const WaitMarkScope&) = delete;

  private:
    std::function<void(bool)> m_mark;
};

}  // namespace

void CRegisterThread::SetWaitMark(std::function<void(bool)> mark) {
    const std::lock_guard lock(g_markMutex);
    g_waitMark = std::move(mark);
}

struct CRegisterThread::Shared {
    std::mutex mutex;
    std::condition_variable wake;      // the thread: a job or the end
    std::condition_variable finished;  // the callers: a job returned
    std::deque<std::shared_ptr<Job>> jobs;
    std::shared_ptr<Job> stuck;
    std::function<void()> last;
    bool stop = false;
    std::thread thread;
    std::thread::id id;

    void Loop() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stop || !jobs.empty(); });
            if (jobs.empty()) break;
            const std::shared_ptr<Job> job = jobs.front();
            jobs.pop_front();
            if (job->cancelled) continue;
            job->started = true;
            lock.unlock();
            job->work();
            // What the work captured goes here, on the thread, not with the caller's copy.
            job->work = nullptr;
            lock.lock();
            job->finished = true;
            if (stuck == job) stuck.reset();
            finished.notify_all();
        }
        std::function<void()> end = std::move(last);
        lock.unlock();
        if (end) end();
    }
};

CRegisterThread::CRegisterThread(std::chrono::milliseconds timeout, std::function<void()> pump)
    : m_shared(std::make_shared<Shared>()), m_timeout(timeout), m_pump(std::move(pump)) {
    const std::lock_guard lock(m_shared->mutex);
    // The thread keeps the shared part alive for as long as it runs, also when abandoned.
    m_shared->thread = std::thread([shared = m_shared] { shared->Loop(); });
    m_shared->id = m_shared->thread.get_id();
}

CRegisterThread::~CRegisterThread() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->stop = true;
    m_shared->wake.notify_all();
    // A stuck call may never return, and the thread cannot join itself: leave it running.
    const bool join = m_shared->stuck == nullptr && std::this_thread::get_id() != m_shared->id;
    std::thread thread = std::move(m_shared->thread);
    lock.unlock();
    if (join) {
        thread.join();
    } else {
        thread.detach();
    }
}

bool CRegisterThread::OnThread() const {
    const std::lock_guard lock(m_shared->mutex);
    return std::this_thread::get_id() == m_shared->id;
}

bool CRegisterThread::Stuck() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->stuck != nullptr;
}

void CRegisterThread::Finally(std::function<void()> last) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->last = std::move(last);
    m_shared->stop = true;
    m_shared->wake.notify_all();
}

CRegisterThread::Outcome CRegisterThread::Run(std::function<void()> work, bool pump) {
    pump = pump && m_pump;
    // Lowered after the lock below is released: the mark's owner may run code of its own.
    const WaitMarkScope mark(pump);
    Shared& shared = *m_shared;
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    const auto deadline = std::chrono::steady_clock::now() + m_timeout;
    std::unique_lock lock(shared.mutex);
    if (shared.stuck != nullptr) return Outcome::Stuck;
    shared.jobs.push_back(job);
    shared.wake.notify_all();
    while (!job->finished) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            if (job->started) {
                shared.stuck = job;
            } else {
                job->cancelled = true;
            }
            return Outcome::TimedOut;
        }
        if (pump) {
            // Without the lock: a pumped event may run a call of its own, which queues
            // behind this one.
            lock.unlock();
            m_pump();
            lock.lock();
            if (job->finished) break;
            shared.finished.wait_for(
                lock, std::min<std::chrono::steady_clock::duration>(kPumpSlice, deadline - now));
        } else {
            shared.finished.wait_until(lock, deadline);
        }
    }
    return Outcome::Done;
}

}  // namespace station
