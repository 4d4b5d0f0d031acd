// The virtual reader's window: what lies on the field, refreshed while the reader runs, and
// the controls to place and remove transponders and to feed a write series.
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace vsim {
class CardFeeder;
class ReaderEngine;
}  // namespace vsim

namespace vsim::panel {

class FeederBox;
class FieldView;

class SimPanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 200;

    // `linePath` is the reader's line as clients open it.
    SimPanel(ReaderEngine& engine, CardFeeder& feeder, const QString& linePath,
             QWidget* parent = nullptr);

    // Reads the engine and the feeder again; the timer does this every kRefreshMs.
    void Refresh();

  private:
    ReaderEngine& m_engine;
    QString m_linePath;
    FieldView* m_field;
    FeederBox* m_feeder;
    QLabel* m_status;
    QTimer m_timer;
};

}  // namespace vsim::panel
