// A pseudo-terminal in front of the engine: clients open the slave side like a serial line,
// and the front thread hands what arrives on the master side to the engine and writes the
// replies back. Start, Stop and the path getters belong to the owning thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ReaderEngine.h"

namespace vsim {

class PtyFront {
  public:
    explicit PtyFront(ReaderEngine& engine);
    ~PtyFront();
    PtyFront(const PtyFront&) = delete;
    PtyFront& operator=(const PtyFront&) = delete;

    // Opens a new pseudo-terminal and serves it. With a symlink path, a symbolic link to the
    // slave is made there (an old link in its place is replaced). False when already running
    // or when the terminal or the link cannot be made.
    bool Start(const std::string& symlinkPath = {});

    // Ends the thread and closes the line: a client that still has the slave open sees a
    // hang-up (POLLHUP, reads fail with EIO), as with an unplugged USB device. Removes the link.
    void Stop();

    bool Running() const { return m_thread.joinable(); }
    // The slave's path (/dev/pts/N) while running, else empty.
    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& LinkPath() const { return m_linkPath; }

    // Baud rate of a termios speed code; 0 for B0 and unknown codes.
    static int BaudOfSpeed(unsigned int speed);

  private:
    void Run();
    int LineBaud() const;
    void CloseAll();

    ReaderEngine& m_engine;
    int m_master = -1;
    int m_slave = -1;  // kept open so that a client closing its slave does not hang the master up
    int m_stopEvent = -1;
    std::string m_slavePath;
    std::string m_linkPath;
    std::thread m_thread;
};

}  // namespace vsim
