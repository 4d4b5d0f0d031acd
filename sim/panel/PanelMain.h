// Runs the virtual reader's window. Qt stays behind this header, so the program's main needs
// none of it.
#pragma once

#include <string>

namespace vsim {

class CardFeeder;
class ReaderEngine;

// Shows the panel and runs the event loop on the calling thread (the process's main thread)
// until the window is closed or `stopFd` becomes readable. Returns the loop's exit code.
int RunPanel(int& argc, char** argv, ReaderEngine& engine, CardFeeder& feeder,
             const std::string& linePath, int stopFd);

}  // namespace vsim
