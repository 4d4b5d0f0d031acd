// Ctrl-C (SIGINT) and SIGTERM for commands that run until they are told to stop: the signals
// are blocked in every thread and read from a signal descriptor between two cards, so a card
// being written is finished before the command ends. Made before the reader is opened, so
// that the SDK's threads inherit the blocked signals.
#pragma once

class CInterrupt {
  public:
    CInterrupt();
    ~CInterrupt();
    CInterrupt(const CInterrupt&) = delete;
    CInterrupt& operator=(const CInterrupt&) = delete;

    // Waits up to ms milliseconds; true as soon as a stop was asked for (now or before).
    bool Wait(int ms);
    bool Requested() { return Wait(0); }

  private:
    int m_fd = -1;
    bool m_requested = false;
};
