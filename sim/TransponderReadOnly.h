// A read-only card of the EM kind: it cannot be addressed at all and only sends its fixed
// data, Manchester or Biphase coded, over and over while it is powered.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Transponder.h"

namespace vsim {

class ReadOnlyCard : public Transponder {
  public:
    // `coding` is coding::kManchester or coding::kBiphase.
    ReadOnlyCard(int coding, std::vector<uint8_t> data);

    std::unique_ptr<Transponder> Clone() const override;
    TransponderSnapshot Snapshot() const override;

    // The data repeated to fill any length the reader asks for.
    std::vector<uint8_t> RawData(int coding) const override;

  private:
    int m_coding;
    std::vector<uint8_t> m_data;
};

}  // namespace vsim
