// The platform hooks of every SDK wait that a user interface must live through: pump keeps
// the caller's event loop running, busy marks the wait for the caller's windows.
#pragma once

#include "vellf.h"

namespace vellf {

struct WaitHooks {
    LfPumpFn pump = nullptr;
    LfBusyFn busy = nullptr;
    void* context = nullptr;

    void Pump() const {
        if (pump) pump(context);
    }
    void Busy(bool on) const {
        if (busy) busy(context, on ? 1 : 0);
    }
};

void SetWaitHooks(const WaitHooks& hooks);
WaitHooks CurrentWaitHooks();

}  // namespace vellf

namespace vellf {

// Sleeps for the given time while keeping the caller's event loop alive through the pump
// hook (every 10 ms at most).
void PumpingSleep(int milliseconds);

}  // namespace vellf
