// How long a real reader takes, for the realistic-timing mode and for benchmarks that want a
// lower bound: bytes on the serial line, and the radio work at the 125 kHz field that a
// command needs. All figures of the model are here.
#pragma once

#include <chrono>
#include <cstddef>

#include "CommandSet.h"

namespace vsim::timing {

using Micros = std::chrono::microseconds;

// Serial line: start bit, 8 data bits, stop bit.
constexpr int kWireBitsPerByte = 10;

// The field: 125 kHz, one clock 8 us.
constexpr Micros kFieldClock{8};
// Reader to chip: gap-coded bits of 40-60 field clocks; the model takes the middle.
constexpr int kDownlinkBitClocks = 50;
// Chip to reader: FSK RF/50, one data bit per 50 field clocks.
constexpr int kUplinkBitClocks = 50;
constexpr int kBlockBits = 32;

// A T55xx block write: opcode, lock bit, 32 data bits and 3 address bits, then the chip
// programs its EEPROM.
constexpr int kWriteDownlinkBits = 38;
constexpr Micros kProgrammingTime{5600};
constexpr Micros kBlockWriteTime =
    kWriteDownlinkBits * kDownlinkBitClocks * kFieldClock + kProgrammingTime;  // 20.8 ms

// A block read: a short command (opcode, lock bit, 3 address bits and a gap), then the block.
constexpr int kReadCommandBits = 6;
constexpr Micros kBlockReadTime = kReadCommandBits * kDownlinkBitClocks * kFieldClock +
                                  kBlockBits * kUplinkBitClocks * kFieldClock;  // 15.2 ms

// The chip identification takes two blocks; so does catching a full FSK card frame.
constexpr Micros kChipIdReadTime = 2 * kBlockReadTime;
constexpr Micros kCardReadTime = 2 * kBlockReadTime;

// A login sends the 8-byte identification and reads the configuration block back.
constexpr int kLoginDownlinkBits = 64;
constexpr Micros kLoginTime =
    kLoginDownlinkBits * kDownlinkBitClocks * kFieldClock + kBlockReadTime;  // 40.8 ms

// A field reset waits for the chip to power up again.
constexpr int kPowerUpClocks = 256;
constexpr Micros kPowerUpTime = kPowerUpClocks * kFieldClock;  // 2.048 ms

// Time of `bytes` on a line at `baud` (rounded up); 0 when the baud rate is unknown (0).
Micros WireTime(size_t bytes, int baud);

// The radio work a request needs, whatever the outcome: block reads and writes per block
// (the byte-addressed ATA5575 M2 per started group of four bytes), identification, login,
// card reads and field resets; 0 for commands without radio work.
Micros RadioTime(const Request& request);

// The whole delay of a reply in realistic timing: the request and the reply on the line plus
// the radio time, rounded up to whole milliseconds.
std::chrono::milliseconds RealisticDelay(const Request& request, size_t replyBytes, int lineBaud);

}  // namespace vsim::timing
