#include "SdkWaitHooks.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "StationBusy.h"
#include "vellf.h"

namespace {

// The window disabled by the current wait; waits do not nest on one thread, but a pumped
// event could open another window meanwhile, so the one to enable again is remembered.
QPointer<QWidget> g_disabledWindow;

int g_pumpDepth = 0;

void Pump(void*) {
    // Marked here too: in background mode the SDK does not call the busy hook.
    const CStationBusy::Wait wait;
    ++g_pumpDepth;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --g_pumpDepth;
}

void Busy(void*, int busy) {
    if (busy != 0) {
        CStationBusy::BeginWait();
        QWidget* window = QApplication::activeWindow();
        if (window != nullptr && window->isEnabled()) {
            g_disabledWindow = window;
            window->setEnabled(false);
        }
        return;
    }
    if (g_disabledWindow) {
        g_disabledWindow->setEnabled(true);
        g_disabledWindow = nullptr;
    }
    CStationBusy::EndWait();
}

}  // namespace

void InstallSdkWaitHooks() {
    LfSetWaitHooks(&Pump, &Busy, nullptr);
}

bool IsInsideReaderWait() {
    return g_pumpDepth > 0;
}
