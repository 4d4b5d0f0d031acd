// Text lists handed to a caller's buffer: the entries one after another, each closed by a
// zero byte, and one more zero byte closing the list.
#pragma once

#include <cstring>
#include <string>
#include <vector>

namespace vellf {

// Copies entries while each one, its zero and the list's final zero still fit; the first entry
// that does not fit ends the list. Returns the bytes used including the final zero (1 for an
// empty list), or 0 when the buffer cannot hold even the final zero.
inline int PackTextList(const std::vector<std::string>& entries, char* buffer, int size) {
    if (buffer == nullptr || size < 1) return 0;
    const size_t room = static_cast<size_t>(size);
    size_t used = 0;
    for (const std::string& entry : entries) {
        const size_t length = std::strlen(entry.c_str());  // an entry ends at its first zero
        if (used + length + 2 > room) break;
        std::memcpy(buffer + used, entry.c_str(), length + 1);
        used += length + 1;
    }
    buffer[used++] = '\0';
    return static_cast<int>(used);
}

}  // namespace vellf
