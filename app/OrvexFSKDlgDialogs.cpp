// The dialogs the main window runs from its menu.
#include "OrvexFSKDlg.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/BeepTimeDlg.h"
#include "dialogs/LanConfig.h"

void COrvexFSKDlg::RunAboutDialog() {
    CAboutDlg about(this);
    about.exec();
}

bool COrvexFSKDlg::RunSignalSettingsDialog() {
    CBeepTimeDlg settings(*m_signals, this);
    return settings.exec() == QDialog::Accepted;
}

bool COrvexFSKDlg::RunLanConfigDialog(const QString& port, QString& newAddress) {
    CLanConfig config(port, this);
    if (config.exec() != QDialog::Accepted) return false;
    newAddress = config.m_strDevice;
    return true;
}
