#include "LfprogProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace lfprogtest {

namespace {

using Clock = std::chrono::steady_clock;

// Reads what is there; false at the end of the stream.
bool Drain(int& fd, std::string& buffer) {
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got > 0) {
            buffer.append(chunk, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return true;
        close(fd);
        fd = -1;
        return false;
    }
}

}  // namespace

LfprogProcess::LfprogProcess(const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        unsetenv("LFPROG_PORT");
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<std::string> copies = args;
        std::string program = LFPROG_PATH;
        std::vector<char*> argv{program.data()};
        for (std::string& arg : copies) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    m_out = out[0];
    m_err = err[0];
    fcntl(m_out, F_SETFL, O_NONBLOCK);
    fcntl(m_err, F_SETFL, O_NONBLOCK);
}

LfprogProcess::~LfprogProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
}

bool LfprogProcess::Pump(std::chrono::milliseconds timeout) {
    pollfd fds[2];
    nfds_t count = 0;
    if (m_out >= 0) fds[count++] = {m_out, POLLIN, 0};
    if (m_err >= 0) fds[count++] = {m_err, POLLIN, 0};
    if (count == 0) return false;
    if (poll(fds, count, static_cast<int>(timeout.count())) <= 0) return true;
    if (m_out >= 0) Drain(m_out, m_outBuffer);
    if (m_err >= 0) Drain(m_err, m_errBuffer);
    return true;
}

std::optional<std::string> LfprogProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const size_t end = m_outBuffer.find('\n'); end != std::string::npos) {
            std::string line = m_outBuffer.substr(0, end);
            m_outBuffer.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || (m_out < 0 && m_err < 0)) return std::nullopt;
        if (m_out < 0) return std::nullopt;
        Pump(std::min(left, std::chrono::milliseconds(100)));
    }
}

void LfprogProcess::Signal(int signal) {
    if (m_pid > 0) kill(m_pid, signal);
}

Result LfprogProcess::Finish(std::chrono::milliseconds timeout) {
    Result result;
    const auto deadline = Clock::now() + timeout;
    while ((m_out >= 0 || m_err >= 0) && Clock::now() < deadline)
        Pump(std::chrono::milliseconds(100));
    if (m_out >= 0 || m_err >= 0) kill(m_pid, SIGKILL);
    int status = 0;
    if (m_pid > 0 && waitpid(m_pid, &status, 0) == m_pid) {
        result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    m_pid = -1;
    result.out = std::move(m_outBuffer);
    result.err = std::move(m_errBuffer);
    return result;
}

Result RunLfprog(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env) {
    LfprogProcess process(args, env);
    return process.Finish();
}

}  // namespace lfprogtest
