// Conventions shared by the Lf... functions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "SdkApp.h"

namespace vellf {

inline std::shared_ptr<CVel_RW_Port> FindPort(int handle) {
    return CVel_LF_SDKApp::Instance().Lookup(handle);
}

inline int BoolResult(bool ok) { return ok ? 0 : -1; }

// The count convention: the number of bytes copied, or -1 with error 8 when the reply does
// not fit (nothing is copied then).
inline int CopyCount(CVel_RW_Port& port, const std::vector<uint8_t>& reply, unsigned char* buffer,
                     int size) {
    const size_t room = (buffer == nullptr || size < 0) ? 0 : static_cast<size_t>(size);
    if (reply.size() > room) {
        port.SetLastError(err::kBufferTooSmall);
        return -1;
    }
    std::copy(reply.begin(), reply.end(), buffer);
    return static_cast<int>(reply.size());
}

}  // namespace vellf
