#include "WaitHooks.h"

#include <mutex>

namespace vellf {

namespace {

std::mutex& HooksLock() {
    static std::mutex lock;
    return lock;
}

WaitHooks& Hooks() {
    static WaitHooks hooks;
    return hooks;
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
