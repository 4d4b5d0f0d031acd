// Puts transponders on the field and takes them away: a new blank chip of a chosen type, or a
// chip that already carries a card of a chosen format and fields.
#pragma once

#include <QGroupBox>

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
    void Remove();

  private:
    void ShowFormatFields();

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
