#include "transport/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

#include "transport/TcpLog.h"

namespace vellf {

namespace {

sockaddr_in SocketAddress(uint32_t address, int port) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(static_cast<uint16_t>(port));
    in.sin_addr.s_addr = htonl(address);
    return in;
}

// Creates a non-blocking socket bound to localAddress (any when empty) and localPort.
int MakeBoundSocket(int type, const std::string& localAddress, int localPort, bool reuseAddress,
                    int& error) {
    uint32_t local = INADDR_ANY;
    if (!localAddress.empty()) {
        const std::optional<uint32_t> parsed = ParseIpv4(localAddress);
        if (!parsed) {
            error = EINVAL;
            return -1;
        }
        local = *parsed;
    }
    const int fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    const int one = 1;
    if (reuseAddress) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in address = SocketAddress(local, localPort);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

CTCPSocket::~CTCPSocket() {
    Close();
}

void CTCPSocket::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

int CTCPSocket::CreateStream(int localPort, bool reuseAddress) {
    Close();
    int error = 0;
    m_fd = MakeBoundSocket(SOCK_STREAM, m_localAddress, localPort, reuseAddress, error);
    return m_fd >= 0 ? 0 : error;
}

int CTCPSocket::SetReuseAddress() {
    const int one = 1;
    return setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 ? 0 : errno;
}

int CTCPSocket::Connect(int stopFd, int limitMs) {
    const std::optional<uint32_t> remote = ParseIpv4(m_host);
    if (!remote) return EINVAL;
    const sockaddr_in address = SocketAddress(*remote, m_port);
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
    if (errno != EINPROGRESS) return errno;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        std::array<pollfd, 2> fds{{{m_fd, POLLOUT, 0}, {stopFd, POLLIN, 0}}};
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) return errno;
        if (fds[1].revents != 0) return ECANCELED;
        if (fds[0].revents != 0) break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

int CTCPSocket::Send(const std::vector<uint8_t>& bytes, int stopFd, int limitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = send(m_fd, bytes.data() + done, bytes.size() - done,
                                  MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        std::array<pollfd, 2> fds{{{m_fd, POLLOUT, 0}, {stopFd, POLLIN, 0}}};
        const nfds_t count = stopFd >= 0 ? 2 : 1;
        if (poll(fds.data(), count, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            return errno;
        }
        if (fds[1].revents != 0) return ECANCELED;
    }
    return 0;
}

void CTCPSocket::Abort() {
    if (m_fd < 0) return;
    const linger reset{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

void CTCPSocket::OnReceive(bool rdhup) {
    std::array<uint8_t, kReceiveChunk> buffer{};
    const ssize_t received = recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (received > 0) {
        if (m_ownerPort) m_ownerPort(buffer.data(), static_cast<size_t>(received));
        return;
    }
    if (received < 0) {
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return;
        SocketLog(m_host, " Socket Receive Err %d", error);
        if (error == ECONNRESET || error == ECONNABORTED || error == ENETDOWN) {
            // The reader ended the connection: a close, so that the next frame reconnects
            // instead of going down with the dead socket.
            OnClose(error);
            return;
        }
        // The socket goes, the flag stays: the next send fails and clears it, the one after
        // that reconnects.
        Close();
        return;
    }
    if (rdhup) {
        // The reader closed its side: the close notification.
        OnClose(0);
        return;
    }
    SocketLog(m_host, " Socket %d Receive 0\n", m_fd);
    Close();
}

void CTCPSocket::OnClose(int code) {
    SocketLog(m_host, " Socket %d closed %s Error (%d)\n", m_fd, CloseCodeText(code), code);
    m_connected = 0;
    Close();
}

bool CTCPSocket::OpenUdp(const std::string& host) {
    m_host = host;
    return CreateDatagram();
}

bool CTCPSocket::CreateDatagram() {
    Close();
    ClearDatagrams();  // what the previous socket received is no answer to this one
    int error = 0;
    m_fd = MakeBoundSocket(SOCK_DGRAM, m_localAddress, 0, false, error);
    if (m_fd < 0) return false;
    const int one = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    m_datagramMode = 1;
    return true;
}

void CTCPSocket::CloseDatagram() {
    if (m_datagramMode == 1) Close();
    m_datagramMode = 0;
}

bool CTCPSocket::SendDatagram(const std::string& to, const std::vector<uint8_t>& bytes) {
    const std::optional<uint32_t> remote = ParseIpv4(to);
    if (m_fd < 0 || !remote) return false;
    const sockaddr_in address = SocketAddress(*remote, kLanUdpPort);
    return sendto(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == static_cast<ssize_t>(bytes.size());
}

void CTCPSocket::ReceiveDatagrams(int waitMs) {
    if (m_fd < 0 || m_datagramMode != 1) return;
    pollfd fd{m_fd, POLLIN, 0};
    if (poll(&fd, 1, waitMs) <= 0) return;
    std::array<uint8_t, kReceiveChunk> buffer{};
    // A flood must not keep one round going: the rest waits for the next round.
    for (int count = 0; count < kDatagramsPerRound; ++count) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t received = recvfrom(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                          reinterpret_cast<sockaddr*>(&from), &length);
        if (received < 0) return;  // nothing more waiting (or an error the next request sees)
        if (from.sin_family != AF_INET) continue;
        StoreDatagram(ntohl(from.sin_addr.s_addr), buffer.data(), static_cast<size_t>(received));
    }
}

void CTCPSocket::StoreDatagram(uint32_t sender, const uint8_t* data, size_t size) {
    // Too short to hold a reply code: nothing could ever read it.
    if (size < 4) return;
    // Our own broadcasts coming back.
    if (!m_localAddress.empty() && Ipv4Text(sender) == m_localAddress) return;
    std::vector<uint8_t> block{static_cast<uint8_t>(sender >> 24),
                               static_cast<uint8_t>(sender >> 16),
                               static_cast<uint8_t>(sender >> 8), static_cast<uint8_t>(sender)};
    block.insert(block.end(), data, data + size);
    std::lock_guard<std::mutex> guard(m_queueLock);
    m_datagramQueue.push_back(std::move(block));
}

bool CTCPSocket::PopDatagram(uint8_t& code, std::string& sender, std::vector<uint8_t>& body) {
    std::vector<uint8_t> block;
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_datagramQueue.empty()) return false;
        block = std::move(m_datagramQueue.front());
        m_datagramQueue.pop_front();
    }
    // Stored blocks hold the sender and at least the 4-byte header.
    const uint32_t from =
        static_cast<uint32_t>(block[0]) << 24 | block[1] << 16 | block[2] << 8 | block[3];
    sender = Ipv4Text(from);
    code = block[7];
    body.assign(block.begin() + 8, block.end());
    return true;
}

void CTCPSocket::ClearDatagrams() {
    std::lock_guard<std::mutex> guard(m_queueLock);
    m_datagramQueue.clear();
}

bool CTCPSocket::ListAdapters() {
    m_adapters = SystemAdapters();
    return !m_adapters.empty();
}

bool CTCPSocket::SelectAdapterForHost(const std::string& host) {
    if (m_adapters.empty()) ListAdapters();
    const int best = BestInterfaceIndex(host);
    if (best < 0) {
        SelectFirstAdapter();
        return false;
    }
    for (const CAdapter& adapter : m_adapters) {
        if (adapter.index == best && SameSubnet(adapter, host)) {
            m_localAddress = adapter.address;
            return true;
        }
    }
    SelectFirstAdapter();
    return true;
}

bool CTCPSocket::SelectFirstAdapter() {
    if (m_adapters.empty()) return false;
    m_localAddress = m_adapters.front().address;
    return true;
}

bool CTCPSocket::SelectNextAdapter() {
    if (m_adapters.empty()) return false;
    if (m_localAddress.empty()) {
        m_localAddress = m_adapters.front().address;
        return true;
    }
    for (size_t i = 0; i + 1 < m_adapters.size(); ++i) {
        if (m_adapters[i].address == m_localAddress) {
            m_localAddress = m_adapters[i + 1].address;
            return true;
        }
    }
    return false;
}

}  // namespace vellf
