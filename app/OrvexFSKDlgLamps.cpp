// The main window's lamp strip.
#include <QTimer>
#include <algorithm>

#include "LampStrip.h"
#include "OrvexFSKDlg.h"
#include "WindowPlacement.h"
#include "ui_OrvexFSKDlg.h"

void COrvexFSKDlg::CreateLamps() {
    m_lampStrip = new CLampStrip(this);
    m_lampStrip->hide();
    m_ui->topLayout->addWidget(m_lampStrip);
}

void COrvexFSKDlg::ShowLamps(int state) {
    m_lampStrip->ShowLamps(state);
}

void COrvexFSKDlg::SetLampView(bool wide) {
    // The window's layout fixes its size, so showing the strip widens it by the strip
    // and hiding the strip gives the normal size back.
    m_lampStrip->setVisible(wide);
    if (wide) {
        m_lampStrip->ShowLamps(1);
        // The window takes its new width when the layout runs; then pull it back on screen.
        QTimer::singleShot(0, this, [this] { KeepOnScreen(this); });
    }
}

void COrvexFSKDlg::ShowBesideStation(QWidget* window) {
    // Beside the station as wide as a series makes it, so that the lamps that appear then
    // are not under the window.
    QRect station = frameGeometry();
    if (m_lampStrip->isHidden())
        station.setWidth(station.width() + m_lampStrip->sizeHint().width() +
                         std::max(0, m_ui->topLayout->spacing()));
    ShowBeside(window, station, frameGeometry().size() - size());
}
