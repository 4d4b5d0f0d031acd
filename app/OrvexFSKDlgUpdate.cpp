// The main window's part of the update check: the automatic check at start and the offer
// when the download has found a newer version.
#include <QTimer>

#include "OrvexFSKDlg.h"
#include "SdkWaitHooks.h"
#include "Settings.h"
#include "WindowMessage.h"
#include "update/UpdateCheck.h"

namespace {

// How often a result that arrived during a reader exchange outside the runs looks again
// whether the exchange is over.
constexpr int kRetryWhileBusyMs = 50;

}  // namespace

void COrvexFSKDlg::StartUpdateCheck() {
    if (GetSettingInt("Version", "Update", 1) == 0) return;
    if (CUpdateCheck* check = CUpdateCheck::Current())
        check->StartUpdateCheck(this, CUpdateCheck::kNotifyId);
}

void COrvexFSKDlg::customEvent(QEvent* event) {
    if (event->type() == CCommandEvent::EventType()) {
        const int id = static_cast<CCommandEvent*>(event)->Id();
        if (id == CUpdateCheck::kNotifyId)
            OnUpdateCheckDone();
        else if (id == CCommandEvent::ID_APP_EXIT)
            reject();
        return;
    }
    QDialog::customEvent(event);
}

void COrvexFSKDlg::OnUpdateCheckDone() {
    // The result can arrive while a run waits for the reader, whose wait pumps the event
    // loop; stopping the run and opening a modal dialog there would cut into the exchange.
    // It waits until the run has returned instead.
    if (DeferWhileBusy([this] { OnUpdateCheckDone(); })) return;
    // Exchanges outside the runs (connecting a reader, for instance) are waited out too.
    if (IsInsideReaderWait()) {
        QTimer::singleShot(kRetryWhileBusyMs, this, &COrvexFSKDlg::OnUpdateCheckDone);
        return;
    }
    const CUpdateCheck* check = CUpdateCheck::Current();
    if (check == nullptr || !check->IsUpdateAvailable()) return;
    StopRuns();
    RunAboutDialog();
    EnableControls(true);
}
