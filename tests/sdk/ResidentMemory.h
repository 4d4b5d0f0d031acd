// The process's resident memory, for tests that check a flood of input does not grow it.
#pragma once

#include <unistd.h>

#include <fstream>

namespace testsupport {

// Resident set size in bytes, from /proc/self/statm.
inline long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

}  // namespace testsupport
