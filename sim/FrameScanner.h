// Finds request frames in the byte stream of a line. Either framing may arrive at any time;
// bytes that cannot start a frame are dropped one at a time until a frame lines up again.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "FrameCodec.h"

namespace vsim {

class FrameScanner {
  public:
    using Clock = std::chrono::steady_clock;

    // A partial frame whose last byte is older than this is noise, not the start of a request:
    // a sender writes a frame in one go.
    static constexpr std::chrono::milliseconds kStaleAfter{200};

    struct Received {
        Frame frame;
        std::vector<uint8_t> raw;
    };

    // Appends bytes received at `now`; drops a stale partial frame first.
    void Push(const uint8_t* data, size_t size, Clock::time_point now);

    // The next complete frame, or nothing while the buffer may still become one.
    std::optional<Received> Next();

    size_t Pending() const { return m_buffer.size(); }
    void Clear() { m_buffer.clear(); }

  private:
    std::vector<uint8_t> m_buffer;
    Clock::time_point m_lastByte{};
};

}  // namespace vsim
