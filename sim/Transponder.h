// A transponder on the reader's field: the common interface of the chip models and the status
// bytes they answer with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommandSet.h"
#include "TransponderSnapshot.h"

namespace vsim {

// Status bytes of the transponder commands. 0x15 is kept for "no card data", which the
// station answers with a raw-data probe; the others avoid the SDK's own error numbers.
namespace status {
constexpr uint8_t kBadParameter = 0x03;  // an address, count, coding or format out of range
// Nothing on the field answers: no transponder, another chip type than the request names, a
// receive mode in which the chip's answer does not demodulate, or the field switched off.
constexpr uint8_t kNoTransponder = 0x04;
constexpr uint8_t kWriteProtected = 0x05;  // the target is locked
constexpr uint8_t kAccessDenied = 0x0B;    // login missing or with a wrong identification
constexpr uint8_t kNoCardData = 0x15;      // no card of the asked coding or format
}  // namespace status

class Transponder {
  public:
    explicit Transponder(int chipType);
    virtual ~Transponder() = default;

    virtual std::unique_ptr<Transponder> Clone() const = 0;
    virtual TransponderSnapshot Snapshot() const = 0;

    int ChipType() const { return m_chipType; }
    const ChipId& Id() const { return m_id; }
    void SetId(const ChipId& id) { m_id = id; }

    // A weak chip acknowledges every write and keeps its old data, as a chip at the edge of
    // the field or worn out may do; only reading the card back shows it.
    bool Weak() const { return m_weak; }
    void SetWeak(bool weak) { m_weak = weak; }

    // The radio side of the transponder commands; the reader has already checked that the
    // request names this chip type and that the field is on. Defaults: the chip does not
    // answer that kind of request.
    virtual Reply ReadId() const;
    virtual Reply Login(const std::vector<uint8_t>& id);
    virtual Reply ReadBlocks(int start, int count, int receiveMode) const;
    // `addressByte` as sent: start address, for the T55xx family with the lock bit 0x80.
    virtual Reply WriteBlocks(uint8_t addressByte, const std::vector<uint8_t>& data);

    // The FSK card word the chip sends, when its configuration and data make one.
    virtual std::optional<uint64_t> FskCardWord() const { return std::nullopt; }
    // What a read-only card of this coding sends; empty when the transponder sends no such
    // data.
    virtual std::vector<uint8_t> RawData(int coding) const;

    // The field came on again: whatever the chip keeps only while powered is gone.
    virtual void PowerUp() {}

  protected:
    Transponder(const Transponder&) = default;
    Transponder& operator=(const Transponder&) = default;
    // The snapshot fields every model shares.
    TransponderSnapshot BaseSnapshot(std::string model) const;

  private:
    int m_chipType;
    ChipId m_id;
    bool m_weak = false;
};

// The card word of a 12-byte FSK data stream (preamble 0x1D, then 11 Manchester-coded
// nibbles), or none when the bytes are no such stream.
std::optional<uint64_t> CardWordOfStream(const uint8_t* stream, size_t size);

}  // namespace vsim
