// Reader frames as the device sees them: both framings, their checksums, parsing one frame at
// the start of a buffer and building one. Deliberately independent of the SDK's own frame code,
// so that a fault there is not mirrored here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsim {

enum class Framing { Stx, Crc };

constexpr uint8_t kStx = 0x02;
// Header and trailer bytes of a frame in either framing; a frame is LEN + 5 bytes long.
constexpr size_t kFrameOverhead = 5;
constexpr size_t kMaxFrameSize = 255 + kFrameOverhead;

// XOR of the bytes (the BCC of the STX framing).
uint8_t Bcc(const uint8_t* data, size_t size);

// CRC-16, initial value 0xFFFF, reflected polynomial 0xA001, no final XOR.
uint16_t Crc16(const uint8_t* data, size_t size);

// One frame: in a request `code` is the command code, in a reply the status byte.
struct Frame {
    Framing framing = Framing::Stx;
    uint8_t address = 1;
    uint8_t code = 0;
    std::vector<uint8_t> data;
};

enum class ParseState {
    Valid,       // a complete frame with a correct checksum starts the buffer
    Incomplete,  // the buffer may still become a valid frame
    Invalid,     // the buffer cannot start a frame of this framing
};

struct ParseResult {
    ParseState state = ParseState::Incomplete;
    Frame frame;      // filled when Valid
    size_t size = 0;  // bytes of the frame when Valid
};

// Reads one frame of the given framing at the start of data[0..size).
ParseResult ParseFrame(Framing framing, const uint8_t* data, size_t size);

// The bytes of a frame. Data beyond 255 bytes do not fit the LEN byte and are cut off.
std::vector<uint8_t> BuildFrame(const Frame& frame);

}  // namespace vsim
