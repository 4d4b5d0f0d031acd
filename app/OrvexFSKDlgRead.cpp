// The main window's read runs: read once and the cyclic read, on the station's read run.
#include <QPushButton>

#include "OrvexFSKDlg.h"
#include "StringTable.h"
#include "UiWait.h"
#include "ui_OrvexFSKDlg.h"
#include "vellf.h"

namespace {

constexpr int kStrReadDone = 11300;

}  // namespace

void COrvexFSKDlg::CardRead(const station::CardRecord& card) {
    ShowStatusText(LoadString(kStrReadDone) + ": " +
                   CardText(card.format, card.fields.facility, card.customer));
}

void COrvexFSKDlg::OnReadOnce() {
    if (IsBusy()) return;
    {
        const BusyScope busy(*this);
        if (!ExchangeUnchecked() || !RequireReader()) return;
        for (QLineEdit* field :
             {m_ui->fixedEdit, m_ui->facilityEdit, m_ui->customerEdit, m_ui->uidEdit}) {
            field->clear();
            field->repaint();
        }
        // Keeps painting while the operator sees the emptied fields, without taking input.
        WaitWithEvents(150, QEventLoop::ExcludeUserInputEvents);
        SetRunOptions();
        m_readRun.ReadOnce();
    }
    // A log line this read could not write is shown now, where it failed.
    ShowErrorLog();
}

void COrvexFSKDlg::StopReadRun() {
    if (m_nReadTimer != 0) {
        killTimer(m_nReadTimer);
        m_nReadTimer = 0;
    }
    if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
    EnableControls(true);
}

void COrvexFSKDlg::OnReadCyclic() {
    if (DeferWhileBusy([this] { OnReadCyclic(); })) return;
    QPushButton* toggle = m_ui->readCyclicButton;
    if (!toggle->isChecked()) {
        // Stopping never passes the input checks of a start.
        if (m_nReadTimer == 0) {
            if (m_hPort != 0) LfSetBackgroundMode(m_hPort, 0);
            return;
        }
        StopReadRun();
        ShowErrorLog();
        return;
    }
    if (m_nReadTimer != 0) return;
    if (!ExchangeUnchecked() || !RequireReader()) {
        toggle->setChecked(false);
        return;
    }
    // A list left from before is shown, not dropped, before the run begins its own.
    ShowErrorLog();
    SetRunOptions();
    m_readRun.StartCyclic();
    LfSetBackgroundMode(m_hPort, 1);
    m_nReadTimer = startTimer(m_nCycleTime, Qt::PreciseTimer);
    EnableControls(false);
    toggle->setEnabled(true);
}

void COrvexFSKDlg::OnReadTick() {
    m_readRun.ReadTick();
}
