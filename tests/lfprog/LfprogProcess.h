// lfprog run as the separate program it is, with its output read through pipes: to the end
// for a command that finishes, or line by line for a stream that a test ends with a signal.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lfprogtest {

struct Result {
    int exit = -1;  // the exit status, or 128 + signal
    std::string out;
    std::string err;
};

class LfprogProcess {
  public:
    // Starts lfprog with args; env adds variables (LFPROG_PORT is unset unless given there).
    explicit LfprogProcess(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env = {});
    ~LfprogProcess();
    LfprogProcess(const LfprogProcess&) = delete;
    LfprogProcess& operator=(const LfprogProcess&) = delete;

    // The next line of standard output, or none at its end or after the timeout.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    void Signal(int signal);
    // Reads both outputs to their end and waits for the exit; the process is killed when it
    // has not ended within the timeout.
    Result Finish(std::chrono::milliseconds timeout = std::chrono::seconds(30));

  private:
    bool Pump(std::chrono::milliseconds timeout);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_outBuffer;
    std::string m_errBuffer;
};

// Runs lfprog to its end.
Result RunLfprog(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {});

}  // namespace lfprogtest
