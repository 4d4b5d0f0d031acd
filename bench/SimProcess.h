// The virtual reader as a separate process, so that a benchmark's own CPU time is the SDK's.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class SimProcess {
public:
    // Starts vel-reader-sim with the given arguments and reads the line path it prints.
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Running() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    // User + system CPU seconds the process has used so far.
    double CpuSeconds() const;

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    std::string m_path;
};
