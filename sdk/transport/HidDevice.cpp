#include "transport/HidDevice.h"

#include <mutex>

#include "transport/HidrawDevice.h"

namespace vellf {

namespace {

// Never destroyed: ports closed at process exit, after other statics are gone, still use it.
std::mutex& SourceLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

std::shared_ptr<CHidDeviceSource>& Source() {
    static auto* source = new std::shared_ptr<CHidDeviceSource>();
    return *source;
}

}  // namespace

void SetHidDeviceSource(std::shared_ptr<CHidDeviceSource> source) {
    std::lock_guard<std::mutex> guard(SourceLock());
    Source() = std::move(source);
}

std::shared_ptr<CHidDeviceSource> CurrentHidDeviceSource() {
    std::lock_guard<std::mutex> guard(SourceLock());
    if (!Source()) return std::make_shared<CHidrawSource>();
    return Source();
}

}  // namespace vellf
