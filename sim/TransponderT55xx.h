// The T55xx family (ATA5555/Q5, ATA5577, TL008 and the chip types 13 and 21): block 0 is the
// configuration, the blocks after it hold data, and every block has a lock bit that a write
// can set and nothing clears.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Transponder.h"

namespace vsim {

class T55xxChip : public Transponder {
  public:
    using Block = std::array<uint8_t, 4>;  // wire order, least significant byte first

    // The configuration block that makes a chip of this type send FSK card data.
    static uint32_t FskConfiguration(int chipType);
    // Blocks of a chip type of the family (configuration included); 0 for other types.
    static int BlockCount(int chipType);

    // All blocks 0, a configuration no receive mode reads.
    explicit T55xxChip(int chipType);

    std::unique_ptr<Transponder> Clone() const override;
    TransponderSnapshot Snapshot() const override;

    Reply ReadId() const override;
    Reply ReadBlocks(int start, int count, int receiveMode) const override;
    Reply WriteBlocks(uint8_t addressByte, const std::vector<uint8_t>& data) override;
    std::optional<uint64_t> FskCardWord() const override;

    // An ATA5577 whose configuration has the password bit set: it answers its
    // identification and sends its card, but answers no block read and ignores every write,
    // since the station never sends the password.
    static constexpr uint32_t kPasswordBit = 0x10;
    bool PasswordMode() const;

    // Direct access for building chips; ignores the lock bits.
    void SetBlock(int block, uint32_t value);
    uint32_t Configuration() const;

  private:
    std::vector<Block> m_blocks;
    std::vector<bool> m_locked;
};

}  // namespace vsim
