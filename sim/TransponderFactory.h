// Ready-made transponders to put on the field. Every chip gets a fresh identification.
// Chip types: 3 (ATA5555/Q5), 9 (ATA5577), 11 (ATA5575 M2), 12 (SIC7888), 17 (TL008), and
// 13 and 21, which behave like the ATA5577. Other types give nullptr.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Transponder.h"

namespace vsim {

// As from the factory: all memory 0. A T55xx-family chip then answers block reads in no
// receive mode; an M2 answers in mode 1; a SIC7888 needs no mode.
std::unique_ptr<Transponder> MakeBlankChip(int chipType);

// A chip written by the station with this card word, unlocked: the data stream in its data
// blocks and the FSK configuration (T55xx: block 0, M2: byte 16 = 0x0A, SIC7888: block 1 =
// 24 34 00 00). The chip sends the word, and a T55xx-family chip reads in receive mode 2.
std::unique_ptr<Transponder> MakeCardChip(int chipType, uint64_t cardWord);

// A blank chip with this configuration: T55xx block 0, the M2's configuration byte (low byte
// of the value), SIC7888 block 1 (least significant byte first).
std::unique_ptr<Transponder> MakeConfiguredChip(int chipType, uint32_t configuration);

// A password-protected ATA5577 (chip type 9 only, else nullptr) that sends this card word:
// it answers its identification but no block read and ignores writes.
std::unique_ptr<Transponder> MakePasswordChip(int chipType, uint64_t cardWord);

// Read-only cards that send these bytes; empty data give nullptr.
std::unique_ptr<Transponder> MakeManchesterCard(std::vector<uint8_t> data);
std::unique_ptr<Transponder> MakeBiphaseCard(std::vector<uint8_t> data);

// The chip type of a name: the number itself, or q5, ata5555, ata5577, m2, ata5575, sic7888,
// tl008 (any case). None for anything the factory cannot make.
std::optional<int> ChipTypeOfName(const std::string& name);

}  // namespace vsim
