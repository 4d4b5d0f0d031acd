#include "BitmapStatic.h"

#include <QPainter>

namespace {

// The bitmap with every pure-white pixel made fully transparent; all others unchanged.
QImage WhiteCleared(const QPixmap& bitmap) {
    QImage image = bitmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == 0x00FFFFFFu) line[x] = 0;
        }
    }
    return image;
}

}  // namespace

CBitmapStatic::CBitmapStatic(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CBitmapStatic::SetBitmap(const QPixmap& bitmap) {
    // Lamps switch between a few bitmaps: keep the cleared copy while the image is the same.
    if (bitmap.cacheKey() != m_bitmap.cacheKey()) m_masked = QImage();
    m_bitmap = bitmap;
    setPixmap(bitmap);
    update();
}

void CBitmapStatic::SetTransparent(bool transparent) {
    m_bTransparent = transparent;
}

void CBitmapStatic::SetScaled(bool scaled) {
    m_bScaled = scaled;
    update();
}

void CBitmapStatic::paintEvent(QPaintEvent* event) {
    if (!m_bTransparent && !m_bScaled) {
        QLabel::paintEvent(event);
        return;
    }
    if (m_bitmap.isNull()) return;
    QPainter painter(this);
    if (m_bTransparent) {
        DrawTransparent(painter, 0, 0);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_bitmap);
}

void CBitmapStatic::DrawTransparent(QPainter& painter, int x, int y) {
    if (m_masked.isNull()) m_masked = WhiteCleared(m_bitmap);
    if (m_bScaled) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), m_masked);
    } else {
        painter.drawImage(QPoint(x, y), m_masked);
    }
}
