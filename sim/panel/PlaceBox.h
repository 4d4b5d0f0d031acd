// Puts transponders on the field and takes them away: a new blank chip of a chosen type, or a
// chip that already carries a card of a chosen format and fields.
#pragma once

#include <QGroupBox>
#include <cstdint>

class QComboBox;
class QLabel;
class QSpinBox;

namespace vsim {
class ReaderEngine;
}

namespace vsim::panel {

class PlaceBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit PlaceBox(ReaderEngine& engine, QWidget* parent = nullptr);

    void PlaceBlankChip();
    void PlaceCard();
    // An ATA5577 with the password bit set, sending the card of the chosen fields.
    void PlacePasswordChip();
    // The chip on the field acknowledges writes from now on but keeps its data.
    void MakeWeak();
    void Remove();

  private:
    void ShowFormatFields();
    uint64_t ChosenCardWord() const;

    ReaderEngine& m_engine;
    QComboBox* m_chip;
    QComboBox* m_format;
    QLabel* m_fieldALabel;
    QSpinBox* m_fieldA;
    QSpinBox* m_number;
    QLabel* m_fixedLabel;
    QSpinBox* m_fixed;
};

}  // namespace vsim::panel
