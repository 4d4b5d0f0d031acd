// Keeps the window alive while the SDK waits for a reader's reply: the SDK pumps the event
// loop between its short sleeps, the station is marked busy for the wait (StationBusy.h), and
// outside background mode the active window is disabled for it, so the operator cannot start
// a second exchange meanwhile.
#pragma once

// Registers the hooks with the SDK; safe to call more than once.
void InstallSdkWaitHooks();

// True while an SDK reply wait pumps the event loop, i.e. for code that a pumped event runs
// in the middle of a reader exchange.
bool IsInsideReaderWait();
