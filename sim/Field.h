// The reader's antenna field: empty or holding one transponder. Copies copy the transponder,
// so a copied device state is a true snapshot.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "TransponderSnapshot.h"

namespace vsim {

class Transponder;

class Field {
  public:
    Field();
    ~Field();
    Field(const Field& other);
    Field& operator=(const Field& other);
    Field(Field&&) noexcept;
    Field& operator=(Field&&) noexcept;

    // Puts a transponder on the field, taking the place of any other; nullptr empties it.
    void Place(std::unique_ptr<Transponder> transponder);
    void Remove();

    bool Empty() const { return m_transponder == nullptr; }
    Transponder* Occupant() { return m_transponder.get(); }
    const Transponder* Occupant() const { return m_transponder.get(); }

    std::optional<TransponderSnapshot> Snapshot() const;

  private:
    std::unique_ptr<Transponder> m_transponder;
};

// One line about what lies on the field: model, chip type, identification, card word and the
// formats it decodes as, memory (locked units marked with '*'); "empty" for no transponder.
std::string Describe(const std::optional<TransponderSnapshot>& snapshot);

}  // namespace vsim
