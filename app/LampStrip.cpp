#include "LampStrip.h"

#include <algorithm>

#include "AppResources.h"
#include "ControlId.h"
#include "widgets/BitmapStatic.h"

CLampStrip::CLampStrip(QWidget* parent)
    : QWidget(parent),
      m_red(LoadAppBitmap(IDB_LAMP_RED)),
      m_yellow(LoadAppBitmap(IDB_LAMP_YELLOW)),
      m_green(LoadAppBitmap(IDB_LAMP_GREEN)),
      m_off(LoadAppBitmap(IDB_LAMP_OFF)) {
    const int ids[3] = {1047, 1046, 1045};
    for (int i = 0; i < 3; ++i) {
        m_lamps[i] = new CBitmapStatic(this);
        SetControlId(m_lamps[i], ids[i]);
        m_lamps[i]->SetTransparent(true);
        m_lamps[i]->SetScaled(true);
    }
    m_flashTimer = new QTimer(this);
    m_flashTimer->setInterval(kFlashMs);
    connect(m_flashTimer, &QTimer::timeout, this, &CLampStrip::Flash);
    ShowLamps(1);
}

void CLampStrip::Flash() {
    m_flashOn = !m_flashOn;
    m_lamps[0]->SetBitmap(m_flashOn ? m_red : m_off);
    m_lamps[0]->update();
}

void CLampStrip::ShowLamps(int state) {
    const QPixmap* shown[3] = {};
    if (state >= 1 && state <= 4) m_flashTimer->stop();
    switch (state) {
        case 4:
            m_flashTimer->start();
            m_flashOn = true;
            [[fallthrough]];
        case 1:
            shown[0] = &m_red, shown[1] = &m_off, shown[2] = &m_off;
            break;
        case 2:
            shown[0] = &m_off, shown[1] = &m_yellow, shown[2] = &m_off;
            break;
        case 3:
            shown[0] = &m_off, shown[1] = &m_off, shown[2] = &m_green;
            break;
        default:
            return;
    }
    for (int i = 0; i < 3; ++i) {
        m_lamps[i]->SetBitmap(*shown[i]);
        m_lamps[i]->update();
    }
}

void CLampStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Full-size lamps 200 pixels apart from the top; a lower window shrinks them evenly.
    const int pitch = std::min(kLampSize, (height() - 10) / 3);
    const int size = std::max(0, pitch - (pitch == kLampSize ? 0 : 6));
    for (int i = 0; i < 3; ++i)
        m_lamps[i]->setGeometry((kStripWidth - size) / 2, 10 + i * pitch, size, size);
}
