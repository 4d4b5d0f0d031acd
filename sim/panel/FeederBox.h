// Drives the card feeder: chip type, how many, the pause between two chips, start and stop,
// and how far the feed has come.
#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace vsim {
class CardFeeder;
}

namespace vsim::panel {

class FeederBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit FeederBox(CardFeeder& feeder, QWidget* parent = nullptr);

    // Starts a feed with the chosen values, or stops the running one.
    void StartOrStop();
    // Shows the feeder's progress.
    void Refresh();

  private:
    CardFeeder& m_feeder;
    QComboBox* m_chip;
    QSpinBox* m_count;
    QSpinBox* m_pause;
    QPushButton* m_start;
    QLabel* m_progress;
};

}  // namespace vsim::panel
