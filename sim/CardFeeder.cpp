#include "CardFeeder.h"

#include <memory>
#include <utility>

#include "FreshChip.h"

namespace vsim {

CardFeeder::CardFeeder(ReaderEngine& engine) : m_engine(engine) {
    m_observerId = m_engine.AddFieldObserver([this] {
        {
            std::lock_guard lock(m_mutex);
            ++m_fieldEvents;
        }
        m_changed.notify_all();
    });
}

CardFeeder::~CardFeeder() {
    Stop();
    m_engine.RemoveFieldObserver(m_observerId);
}

bool CardFeeder::Start(const Plan& plan) {
    std::unique_ptr<Transponder> first = MakeFreshChip(plan.chipType);
    if (!first || plan.count == 0) return false;
    const ChipId id = first->Id();

    std::lock_guard control(m_controlMutex);
    EndThread();
    {
        std::lock_guard lock(m_mutex);
        m_progress = Progress{State::Waiting, plan, 1, 0};
        m_stopRequested = false;
    }
    m_engine.PlaceTransponder(std::move(first));
    m_changed.notify_all();
    m_thread = std::thread([this, plan, id] { Run(plan, id); });
    return true;
}

void CardFeeder::Stop() {
    std::lock_guard control(m_controlMutex);
    EndThread();
}

void CardFeeder::EndThread() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        if (IsRunning(m_progress.state)) m_progress.state = State::Stopped;
        m_stopRequested = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

CardFeeder::Progress CardFeeder::GetProgress() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

bool CardFeeder::Running() const {
    std::lock_guard lock(m_mutex);
    return IsRunning(m_progress.state);
}

bool CardFeeder::WaitUntilEnded(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return !IsRunning(m_progress.state); });
}

const char* CardFeeder::StateName(State state) {
    switch (state) {
        case State::Idle:
            return "idle";
        case State::Waiting:
            return "waiting";
        case State::Pausing:
            return "pausing";
        case State::Done:
            return "done";
        case State::Stopped:
            return "stopped";
        case State::Interrupted:
            return "interrupted";
    }
    return "?";
}

void CardFeeder::Run(Plan plan, ChipId chip) {
    for (;;) {
        // Events are counted before the field is looked at, so a write that lands in between
        // still wakes the wait below.
        uint64_t seen = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopRequested) return;
            seen = m_fieldEvents;
        }
        const std::optional<TransponderSnapshot> field = m_engine.FieldSnapshot();
        if (!field || field->id != chip) {
            {
                std::lock_guard lock(m_mutex);
                if (!m_stopRequested) m_progress.state = State::Interrupted;
            }
            m_changed.notify_all();
            return;
        }
        // A fresh chip sends no card data. Once it does, the station has written both the data
        // and the configuration that sends them, in whatever order, so the card is finished.
        if (!field->cardWord) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopRequested || m_fieldEvents != seen; });
            continue;
        }

        {
            std::unique_lock lock(m_mutex);
            if (m_changed.wait_for(lock, plan.hold, [this] { return m_stopRequested; })) return;
        }
        m_engine.RemoveTransponder();
        bool done = false;
        {
            std::lock_guard lock(m_mutex);
            ++m_progress.written;
            if (m_stopRequested) return;
            done = m_progress.fed >= plan.count;
            m_progress.state = done ? State::Done : State::Pausing;
        }
        m_changed.notify_all();
        if (done) return;
        {
            std::unique_lock lock(m_mutex);
            if (m_changed.wait_for(lock, plan.pause, [this] { return m_stopRequested; })) return;
        }

        std::unique_ptr<Transponder> next = MakeFreshChip(plan.chipType);
        chip = next->Id();
        m_engine.PlaceTransponder(std::move(next));
        {
            std::lock_guard lock(m_mutex);
            if (m_stopRequested) return;
            ++m_progress.fed;
            m_progress.state = State::Waiting;
        }
        m_changed.notify_all();
    }
}

}  // namespace vsim
