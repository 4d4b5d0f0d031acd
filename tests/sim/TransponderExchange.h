// Requests to an engine as real frames, and their answers, for the transponder tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "ReaderEngine.h"

namespace vsim::testing {

using Bytes = std::vector<uint8_t>;

struct Answer {
    uint8_t status = 0;
    Bytes data;
    bool operator==(const Answer&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Answer& answer) {
    out << "status 0x" << std::hex << int{answer.status} << " data";
    for (uint8_t byte : answer.data) out << ' ' << int{byte};
    return out << std::dec;
}

inline Answer Ok(Bytes data = {}) {
    return Answer{status::kOk, std::move(data)};
}
inline Answer Failed(uint8_t statusByte) {
    return Answer{statusByte, {}};
}

// Sends one STX/BCC request; a missing or broken reply gives status 0xFF with the raw bytes.
inline Answer Exchange(ReaderEngine& engine, uint8_t command, const Bytes& data) {
    const Bytes request = BuildFrame({Framing::Stx, 1, command, data});
    const Bytes reply = engine.OnBytes(request.data(), request.size(), 0);
    const ParseResult parsed = ParseFrame(Framing::Stx, reply.data(), reply.size());
    if (parsed.state != ParseState::Valid || parsed.size != reply.size()) {
        return Answer{0xFF, reply};
    }
    return Answer{parsed.frame.code, parsed.frame.data};
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The four wire bytes of a block value, least significant first.
inline Bytes BlockBytes(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

}  // namespace vsim::testing
