#include "Interrupt.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

CInterrupt::CInterrupt() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

CInterrupt::~CInterrupt() {
    if (m_fd >= 0) close(m_fd);
}

bool CInterrupt::Wait(int ms) {
    if (m_requested) return true;
    if (m_fd < 0) {
        if (ms > 0) usleep(static_cast<useconds_t>(ms) * 1000);
        return false;
    }
    pollfd entry{m_fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&entry, 1, ms);
    } while (ready < 0 && errno == EINTR);
    if (ready > 0) {
        signalfd_siginfo info{};
        if (read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) m_requested = true;
    }
    return m_requested;
}
