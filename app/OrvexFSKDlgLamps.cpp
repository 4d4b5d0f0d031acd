// The main window's lamp strip.
#include <QTimer>

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
