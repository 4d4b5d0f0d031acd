// The ATA5575 M2: 17 bytes addressed one by one. Bytes 0-15 hold data, byte 16 the
// configuration: its low four bits choose what the chip sends (0xA = FSK card data), any of
// its upper four bits write-protects the whole chip.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Transponder.h"

namespace vsim {

class M2Chip : public Transponder {
  public:
    static constexpr size_t kSize = 17;
    static constexpr size_t kConfigurationAddress = 16;
    static constexpr uint8_t kFskConfiguration = 0x0A;

    // All bytes 0: unprotected, sending in the chip's default modulation.
    M2Chip();

    std::unique_ptr<Transponder> Clone() const override;
    TransponderSnapshot Snapshot() const override;

    Reply ReadId() const override;
    // Answers in receive mode 2 when configured for FSK, else in mode 1.
    Reply ReadBlocks(int start, int count, int receiveMode) const override;
    Reply WriteBlocks(uint8_t addressByte, const std::vector<uint8_t>& data) override;
    // The 12 bytes at 0-11 are the data stream inverted.
    std::optional<uint64_t> FskCardWord() const override;

    // Direct access for building chips; ignores the write protection.
    void SetByte(size_t address, uint8_t value);
    uint8_t Configuration() const { return m_memory[kConfigurationAddress]; }
    bool WriteProtected() const { return (Configuration() & 0xF0) != 0; }
    int ReceiveMode() const;

  private:
    std::array<uint8_t, kSize> m_memory{};
};

}  // namespace vsim
