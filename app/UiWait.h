// Waits of the user-interface thread that keep the windows painting and their timers firing,
// and the wait cursor shown around slow work.
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "StationBusy.h"

// The station is busy for the wait (StationBusy.h): an operator's command waits for its end.
inline void WaitWithEvents(int milliseconds,
                           QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents) {
    const CStationBusy::Wait wait;
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(flags);
}

class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
