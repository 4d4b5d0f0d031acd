// A static bitmap that can treat pure white as transparent, so a round lamp or a logo drawn
// on white sits on whatever background the window has. Optionally scaled to its own size.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPixmap>

class CBitmapStatic : public QLabel {
    Q_OBJECT
  public:
    explicit CBitmapStatic(QWidget* parent = nullptr);

    void SetBitmap(const QPixmap& bitmap);
    // Pure white (255, 255, 255) pixels show the background; takes effect on the next paint.
    void SetTransparent(bool transparent);
    // Draw the bitmap stretched over the whole control instead of at its natural size.
    void SetScaled(bool scaled);

    const QPixmap& Bitmap() const { return m_bitmap; }
    bool IsTransparent() const { return m_bTransparent; }
    bool IsScaled() const { return m_bScaled; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void DrawTransparent(QPainter& painter, int x, int y);

    QPixmap m_bitmap;
    QImage m_masked;  // the bitmap with its white pixels cleared, made when first needed
    bool m_bTransparent = false;
    bool m_bScaled = false;
};
