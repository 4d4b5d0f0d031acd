// The strip of three large signal lamps right of the main window, shown while a write
// series runs: red (failed or taken away), yellow (writing), green (written).
#pragma once

#include <QPixmap>
#include <QWidget>

class CBitmapStatic;

class CLampStrip : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kStripWidth = 210;
    static constexpr int kLampSize = 200;

    explicit CLampStrip(QWidget* parent = nullptr);

    // 1 red, 2 yellow, 3 green; other states change nothing.
    void ShowLamps(int state);
    // Lamp by position, 0 (left, id 1047) to 2 (right, id 1045).
    CBitmapStatic* Lamp(int position) const { return m_lamps[position]; }

    QSize sizeHint() const override { return {kStripWidth, 0}; }
    QSize minimumSizeHint() const override { return {kStripWidth, 0}; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CBitmapStatic* m_lamps[3] = {};
    QPixmap m_red, m_yellow, m_green, m_off;
};
