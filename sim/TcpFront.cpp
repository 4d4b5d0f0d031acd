#include "TcpFront.h"

#include "FrontIo.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

namespace vsim {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

void Signal(int fd) {
    const uint64_t one = 1;
    if (write(fd, &one, sizeof one) < 0) {
        // Only a counter overflow fails; the event is signalled then anyway.
    }
}

int Listen(const std::string& address, uint16_t port, uint16_t& bound) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &in.sin_addr) != 1) return -1;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t length = sizeof in;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&in), &length) != 0) {
        close(fd);
        return -1;
    }
    bound = ntohs(in.sin_port);
    return fd;
}

}  // namespace

TcpFront::TcpFront(ReaderEngine& engine) : m_engine(engine) {}

TcpFront::~TcpFront() {
    Stop();
}

bool TcpFront::Start(const std::string& address, uint16_t port) {
    Stop();
    std::lock_guard<std::mutex> guard(m_lock);
    uint16_t bound = 0;
    m_listen = Listen(address, port, bound);
    m_stopEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_dropEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_listen < 0 || m_stopEvent < 0 || m_dropEvent < 0) {
        CloseFd(m_listen);
        CloseFd(m_stopEvent);
        CloseFd(m_dropEvent);
        return false;
    }
    m_address = address;
    m_port = bound;
    m_thread = std::thread(&TcpFront::Run, this);
    return true;
}

void TcpFront::Stop() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_thread.joinable()) {
        Signal(m_stopEvent);
        m_thread.join();
    }
    CloseFd(m_listen);
    CloseFd(m_stopEvent);
    CloseFd(m_dropEvent);
    m_port = 0;
}

bool TcpFront::Running() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_thread.joinable();
}

std::string TcpFront::Address() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_address;
}

uint16_t TcpFront::Port() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_port;
}

void TcpFront::Drop(bool reset) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_thread.joinable()) return;
    m_dropReset = reset;
    Signal(m_dropEvent);
}

void TcpFront::CloseClient(bool reset) {
    if (m_client < 0) return;
    if (reset) {
        // A zero linger time makes close() send a reset instead of a FIN.
        const linger hard{1, 0};
        setsockopt(m_client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    CloseFd(m_client);
}

void TcpFront::Run() {
    std::array<uint8_t, 512> buffer{};
    for (;;) {
        std::array<pollfd, 4> fds{{{m_stopEvent, POLLIN, 0},
                                   {m_dropEvent, POLLIN, 0},
                                   {m_listen, POLLIN, 0},
                                   {m_client, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        if (fds[1].revents != 0) {
            uint64_t count = 0;
            if (read(m_dropEvent, &count, sizeof count) < 0) {
                // Already reset by an earlier round.
            }
            CloseClient(m_dropReset.load());
            continue;
        }
        if (fds[2].revents != 0) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            const int fd =
                accept4(m_listen, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
            if (fd >= 0) {
                CloseClient(false);  // one client at a time: the newer one wins
                m_client = fd;
                m_clientPort = ntohs(peer.sin_port);
                ++m_accepted;
            }
        }
        if (m_client < 0 || fds[3].fd != m_client || fds[3].revents == 0) continue;
        const ssize_t n = recv(m_client, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            CloseClient(false);
            continue;
        }
        const auto received = ReaderEngine::Clock::now();
        for (const ReaderEngine::Outgoing& out :
             m_engine.Receive(buffer.data(), static_cast<size_t>(n), 0, received)) {
            if (!WaitUntilOrStop(m_stopEvent, received + out.delay)) {
                CloseClient(false);
                return;
            }
            if (!WriteAllOrStop(m_stopEvent, m_client, out.bytes, true)) {
                CloseClient(false);
                break;
            }
        }
    }
    CloseClient(false);
}

}  // namespace vsim
