// The simulated reader for in-process use (tests, benchmarks): an engine behind a
// pseudo-terminal that the code under test opens like a serial line. Transponders are made
// with the factory functions and placed through Engine().
#pragma once

#include <string>

#include "PtyFront.h"
#include "ReaderEngine.h"
#include "Timing.h"
#include "TransponderFactory.h"

namespace vsim {

class VirtualReader {
  public:
    VirtualReader() = default;
    ~VirtualReader() { Stop(); }
    VirtualReader(const VirtualReader&) = delete;
    VirtualReader& operator=(const VirtualReader&) = delete;

    // Opens the line, optionally with a symbolic link to it. After Stop or Unplug it may be
    // started again; the line then gets a new path, the engine keeps its state.
    bool Start(const std::string& symlink = {}) { return m_front.Start(symlink); }

    // The line's path (/dev/pts/N) while started, else empty.
    std::string Path() const { return m_front.SlavePath(); }
    std::string LinkPath() const { return m_front.LinkPath(); }
    bool Running() const { return m_front.Running(); }

    ReaderEngine& Engine() { return m_engine; }

    void Stop() { m_front.Stop(); }
    // Closes the line under the client, which sees a hang-up like a vanished USB device.
    void Unplug() { m_front.Stop(); }

  private:
    ReaderEngine m_engine;
    PtyFront m_front{m_engine};
};

}  // namespace vsim
