// Shows what lies on the reader's field: chip, identification, the card it sends, lock state
// and memory.
#pragma once

#include <QGroupBox>
#include <optional>

#include "TransponderSnapshot.h"

class QLabel;
class QPlainTextEdit;

namespace vsim::panel {

class FieldView : public QGroupBox {
    Q_OBJECT
  public:
    explicit FieldView(QWidget* parent = nullptr);

    void Show(const std::optional<TransponderSnapshot>& snapshot);

    // The texts shown, also for tests.
    static QString ChipText(const TransponderSnapshot& snapshot);
    static QString IdText(const TransponderSnapshot& snapshot);
    static QString CardText(const TransponderSnapshot& snapshot);
    static QString LockText(const TransponderSnapshot& snapshot);
    static QString MemoryText(const TransponderSnapshot& snapshot);

  private:
    void SetText(QLabel* label, const QString& text);

    QLabel* m_chip;
    QLabel* m_id;
    QLabel* m_card;
    QLabel* m_lock;
    QPlainTextEdit* m_memory;
};

}  // namespace vsim::panel
