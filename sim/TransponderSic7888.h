// The SIC7888: 44 blocks of 4 bytes behind a login with the chip's identification. Block 0
// is read-only, block 1 is the configuration, blocks 4-6 take the card data.
//
// Configuration block 1, as the station writes it:
//   byte 1 == 0x34 or 0x36  the chip sends blocks 4-6 as FSK card data
//   byte 1 bit 0x02         block 1 is write-protected
//   byte 2 bits 0xC0        (either) blocks 2-43 are write-protected
// A login lasts until the field is switched or reset.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Transponder.h"

namespace vsim {

class Sic7888Chip : public Transponder {
  public:
    using Block = std::array<uint8_t, 4>;  // wire order
    static constexpr size_t kBlockCount = 44;
    static constexpr int kConfigurationBlock = 1;
    static constexpr int kFirstDataBlock = 4;

    Sic7888Chip();

    std::unique_ptr<Transponder> Clone() const override;
    TransponderSnapshot Snapshot() const override;

    Reply ReadId() const override;
    Reply Login(const std::vector<uint8_t>& id) override;
    // Its receive mode is fixed, so block reads answer in any mode.
    Reply ReadBlocks(int start, int count, int receiveMode) const override;
    Reply WriteBlocks(uint8_t addressByte, const std::vector<uint8_t>& data) override;
    std::optional<uint64_t> FskCardWord() const override;
    void PowerUp() override { m_loggedIn = false; }

    // Direct access for building chips; needs no login.
    void SetBlock(size_t block, const Block& bytes);
    bool LoggedIn() const { return m_loggedIn; }
    bool BlockLocked(size_t block) const;

  private:
    std::array<Block, kBlockCount> m_blocks{};
    bool m_loggedIn = false;
};

}  // namespace vsim
