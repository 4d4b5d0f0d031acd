#include "SimProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        close(toChild[1]);
        close(fromChild[0]);
        std::vector<char*> argv;
        std::string program = VEL_READER_SIM_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (auto& arg : copies) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    m_stdin = toChild[1];
    FILE* out = fdopen(fromChild[0], "r");
    char line[512];
    if (out && std::fgets(line, sizeof line, out)) {
        m_path = line;
        while (!m_path.empty() && (m_path.back() == '\n' || m_path.back() == '\r')) {
            m_path.pop_back();
        }
    }
    if (out) std::fclose(out);
}

SimProcess::~SimProcess() {
    if (m_stdin >= 0) close(m_stdin);  // end of input ends the simulator
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

double SimProcess::CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) {
            stime = std::stoul(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}
