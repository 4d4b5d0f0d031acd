#include "WaitHooks.h"

#include <mutex>

namespace vellf {

namespace {

// Never destroyed: ports closed at process exit, after other statics are gone, still use it.
std::mutex& HooksLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

WaitHooks& Hooks() {
    static auto* hooks = new WaitHooks();
    return *hooks;
}

}  // namespace

void SetWaitHooks(const WaitHooks& hooks) {
    std::lock_guard<std::mutex> guard(HooksLock());
    Hooks() = hooks;
}

WaitHooks CurrentWaitHooks() {
    std::lock_guard<std::mutex> guard(HooksLock());
    return Hooks();
}

}  // namespace vellf

#include <chrono>
#include <thread>

namespace vellf {

void PumpingSleep(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const WaitHooks hooks = CurrentWaitHooks();
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(10)));
        hooks.Pump();
    }
}

}  // namespace vellf
