// A port closed by the test while another thread waits on it for a reply that never comes.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "vellf.h"

namespace testsupport {

struct CloseWhileWaitingResult {
    int wait;   // what the waiting version request returned
    int close;  // what LfClosePort returned
};

// Starts a version request on another thread, closes the port after delayMs and waits for
// the request to end.
inline CloseWhileWaitingResult CloseWhileWaiting(int handle, int delayMs) {
    std::atomic<int> result{0};
    std::thread waiter([&] {
        unsigned char reply[16];
        result = LfGetVersion(handle, reply, sizeof reply, nullptr, 0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const int closed = LfClosePort(handle);
    waiter.join();
    return {result.load(), closed};
}

}  // namespace testsupport
