// Faults the simulated reader can be told to show, so that the SDK's error paths can be
// exercised. Every setting has an "off" value; a default-constructed object behaves well.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "FrameCodec.h"

namespace vsim {

struct Misbehaviour {
    bool crcOnly = false;            // STX/BCC requests are ignored
    int baudOnly = 0;                // requests on a line at another baud rate are ignored; 0 = any
    bool silent = false;             // no request is answered
    std::vector<uint8_t> noise;      // sent before every reply
    std::optional<size_t> cutAfter;  // only this many bytes of each reply frame are sent
    bool badChecksum = false;        // the reply's last checksum byte is inverted
    std::optional<uint8_t> nextStatus;        // one-shot: the next answered request gets it
    std::chrono::milliseconds replyDelay{0};  // replies go out this late
    std::optional<uint8_t> replyAddress;      // replies carry this address instead

    // Whether a request of this framing on a line at this baud rate (0 = not a serial line
    // or unknown, which no baud restriction applies to) gets an answer.
    bool Answers(Framing framing, int lineBaud) const;

    // The bytes that go on the line for a correctly built reply frame.
    std::vector<uint8_t> Distort(std::vector<uint8_t> frame) const;
};

}  // namespace vsim
