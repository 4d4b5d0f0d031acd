#include "transport/HidDevice.h"

#include <mutex>

#include "transport/HidrawDevice.h"

namespace vellf {

namespace {

std::mutex& SourceLock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<CHidDeviceSource>& Source() {
    static std::shared_ptr<CHidDeviceSource> source;
    return source;
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
