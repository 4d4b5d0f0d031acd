// Waiting and writing for the simulator's fronts, each cut short by the front's stop event.
#pragma once

#include <cstdint>
#include <vector>

#include "ReaderEngine.h"

namespace vsim {

// Sleeps until the deadline; false when the stop event fired first.
bool WaitUntilOrStop(int stopEvent, ReaderEngine::Clock::time_point deadline);

// Writes all bytes to a non-blocking descriptor, waiting for room when the peer is slow;
// false on an error or when the stop event fired. Sockets are written without SIGPIPE.
bool WriteAllOrStop(int stopEvent, int fd, const std::vector<uint8_t>& bytes, bool isSocket);

}  // namespace vsim
