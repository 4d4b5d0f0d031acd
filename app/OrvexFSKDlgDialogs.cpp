// The dialogs the main window runs from its menu.
#include "OrvexFSKDlg.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/BeepTimeDlg.h"

void COrvexFSKDlg::RunAboutDialog() {
    CAboutDlg about(this);
    about.exec();
}

bool COrvexFSKDlg::RunSignalSettingsDialog() {
    CBeepTimeDlg settings(*m_signals, this);
    return settings.exec() == QDialog::Accepted;
}
