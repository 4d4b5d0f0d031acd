#include "Trace.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr const char* kViewerSocket = "QorTracer";
constexpr const char* kLockFile = "QorTracerLock";
constexpr int kGroupSize = 4;
// The kernel queues only a handful of datagrams per socket, so a longer text waits for the
// viewer to drain its queue, but never longer than this per group.
constexpr int kQueueWaitMs = 100;

std::string RuntimePath(const char* name) {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir == nullptr || *dir == '\0') return {};
    return std::string(dir) + "/" + name;
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

// A datagram socket connected to the viewer, or -1 when no viewer has bound its socket.
int ConnectToViewer() {
    const std::string path = RuntimePath(kViewerSocket);
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The lock file, opened on first use and kept for the life of the process (-1 if it cannot
// be opened: then only the threads of this process are kept apart).
int LockFile() {
    static const int fd = [] {
        const std::string path = RuntimePath(kLockFile);
        return path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }();
    return fd;
}

// Holds the trace lock: a mutex for the threads of this process (an flock is shared by
// every thread of the process that holds it) and the flock for the other processes.
class TraceLock {
  public:
    TraceLock() : m_threads(Mutex()), m_fd(LockFile()) {
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~TraceLock() {
        if (m_fd >= 0) ::flock(m_fd, LOCK_UN);
    }
    TraceLock(const TraceLock&) = delete;
    TraceLock& operator=(const TraceLock&) = delete;

  private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }

    std::lock_guard<std::mutex> m_threads;
    int m_fd;
};

// Sends one group without blocking. A full viewer queue gets a short wait to drain; a
// viewer that does not read drops the datagram instead of stalling the user interface.
bool SendGroup(int fd, const char* group) {
    for (;;) {
        if (::send(fd, group, kGroupSize, MSG_DONTWAIT | MSG_NOSIGNAL) == kGroupSize) return true;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
        pollfd writable{fd, POLLOUT, 0};
        if (::poll(&writable, 1, kQueueWaitMs) <= 0) return false;
    }
}

}  // namespace

void TraceOut(const QString& text) {
    QByteArray bytes = text.toLatin1();
    if (bytes.isEmpty()) return;
    const Descriptor viewer(ConnectToViewer());
    if (viewer.Get() < 0) return;
    bytes.append(QByteArray((kGroupSize - bytes.size() % kGroupSize) % kGroupSize, '\0'));
    const TraceLock lock;
    for (qsizetype offset = 0; offset < bytes.size(); offset += kGroupSize) {
        // After a dropped group the rest would arrive shifted: leave the text unfinished.
        if (!SendGroup(viewer.Get(), bytes.constData() + offset)) return;
    }
}
