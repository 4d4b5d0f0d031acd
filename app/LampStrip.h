// The strip of three large signal lamps right of the main window, shown while a write
// series runs: red (waiting, or taken away), yellow (writing), green (written), and a
// flashing red after a failed write.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class CBitmapStatic;

class CLampStrip : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kStripWidth = 210;
    static constexpr int kLampSize = 200;
    static constexpr int kFlashMs = 400;

    explicit CLampStrip(QWidget* parent = nullptr);

    // 1 red, 2 yellow, 3 green, 4 red flashing; other states change nothing.
    void ShowLamps(int state);
    // Lamp by position, 0 (left, id 1047) to 2 (right, id 1045).
    CBitmapStatic* Lamp(int position) const { return m_lamps[position]; }

    QSize sizeHint() const override { return {kStripWidth, 0}; }
    QSize minimumSizeHint() const override { return {kStripWidth, 0}; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Flash();

    CBitmapStatic* m_lamps[3] = {};
    QTimer* m_flashTimer = nullptr;
    bool m_flashOn = false;
    QPixmap m_red, m_yellow, m_green, m_off;
};
