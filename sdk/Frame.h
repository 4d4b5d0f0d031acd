// Reader request/reply frames: two framings, their checksums and the reply check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellf {

constexpr uint8_t kStx = 0x02;

// A complete reply is LEN + 5 bytes in both framings.
constexpr size_t kFrameOverhead = 5;

uint8_t Bcc(const uint8_t* data, size_t size);

// CRC-16 with the reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
uint16_t Crc16(const uint8_t* data, size_t size);

// Frames [command, data...] for the given device address. The data length goes behind the
// command (0 when there is none); STX/BCC framing puts STX in front and the BCC behind, CRC
// framing appends the CRC, low byte first.
std::vector<uint8_t> BuildFrame(const std::vector<uint8_t>& commandAndData, uint8_t address,
                                bool crcFraming);

// Offset of the LEN byte of a frame in the given framing.
inline size_t LenOffset(bool crcFraming) { return crcFraming ? 2 : 3; }

enum class ReplyCheck { Ok, Empty, Short, Checksum, Status };

struct CheckedReply {
    ReplyCheck check = ReplyCheck::Empty;
    uint8_t status = 0;
    std::vector<uint8_t> data;
};

// Validates a received reply (checksum over the first LEN + 5 bytes, then the status byte)
// and returns its bare data. Bytes behind the frame are ignored.
CheckedReply CheckReply(const std::vector<uint8_t>& received, bool crcFraming);

}  // namespace vellf
