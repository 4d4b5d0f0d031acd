#include "CuttingProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pgtest {

namespace {

using Clock = std::chrono::steady_clock;

// How long a cut connection waits for the server's answer to its COMMIT.
constexpr auto kAnswerWait = std::chrono::seconds(10);

// The requests that come before the startup message and carry no type byte.
constexpr std::uint32_t kSslRequest = 80877103;
constexpr std::uint32_t kGssRequest = 80877104;

std::uint32_t BigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool IsCommit(const std::string& message) {
    // 'Q', its length, the statement and its terminating NUL.
    std::string text = message.substr(5);
    while (!text.empty() && (text.back() == '\0' || text.back() == ';' ||
                             std::isspace(static_cast<unsigned char>(text.back()))))
        text.pop_back();
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return message[0] == 'Q' && text == "COMMIT";
}

struct Link {
    int client = -1;
    int server = -1;
    bool started = false;  // the startup message went through: typed messages follow
    std::string pending;   // the client's bytes of a message not yet complete
    bool cutting = false;  // a COMMIT went out; its answer is awaited and dropped
    Clock::time_point deadline;
    bool closed = false;

    void Close() {
        if (client >= 0) ::close(client);
        if (server >= 0) ::close(server);
        client = server = -1;
        closed = true;
    }
};

// The first complete message in bytes, its size; 0 when it is not complete yet.
std::size_t MessageSize(const std::string& bytes, bool started) {
    if (started) {
        if (bytes.size() < 5) return 0;
        const std::size_t size = 1 + BigEndian(bytes, 1);
        return bytes.size() >= size ? size : 0;
    }
    if (bytes.size() < 4) return 0;
    const std::size_t size = BigEndian(bytes, 0);
    return bytes.size() >= size ? size : 0;
}

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

CuttingProxy::CuttingProxy(int targetPort) : m_targetPort(targetPort) {}

CuttingProxy::~CuttingProxy() {
    if (m_thread.joinable()) {
        const char stop = 's';
        (void)!::write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_listener, m_wake[0], m_wake[1]})
        if (fd >= 0) ::close(fd);
}

bool CuttingProxy::Start() {
    if (::pipe2(m_wake, O_CLOEXEC) != 0) return false;
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CuttingProxy::Run() {
    std::vector<Link> links;
    char buffer[16384];
    for (;;) {
        std::vector<pollfd> fds = {{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (const Link& link : links) {
            fds.push_back({link.cutting ? -1 : link.client, POLLIN, 0});
            fds.push_back({link.server, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR) break;
        if (fds[0].revents != 0) break;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                Link link;
                link.client = client;
                link.server = ConnectTo(m_targetPort);
                if (link.server < 0)
                    ::close(client);
                else
                    links.push_back(std::move(link));
            }
        }
        // The links polled are the first fds.size() / 2 - 1 of them; one accepted now waits.
        const std::size_t polled = (fds.size() - 2) / 2;
        for (std::size_t i = 0; i < polled; ++i) {
            Link& link = links[i];
            const pollfd& fromClient = fds[2 + 2 * i];
            const pollfd& fromServer = fds[3 + 2 * i];
            if (link.cutting) {
                // The server answered the COMMIT (or gave up): the answer never arrives.
                if (fromServer.revents != 0 || Clock::now() > link.deadline) {
                    link.Close();
                    ++m_cuts;
                }
                continue;
            }
            if (fromServer.revents != 0) {
                const ssize_t got = ::recv(link.server, buffer, sizeof buffer, 0);
                if (got <= 0 || !SendAll(link.client, buffer, static_cast<std::size_t>(got))) {
                    link.Close();
                    continue;
                }
            }
            if (fromClient.revents == 0) continue;
            const ssize_t got = ::recv(link.client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                link.Close();
                continue;
            }
            link.pending.append(buffer, static_cast<std::size_t>(got));
            while (const std::size_t size = MessageSize(link.pending, link.started)) {
                const std::string message = link.pending.substr(0, size);
                link.pending.erase(0, size);
                if (!link.started) {
                    const std::uint32_t code = BigEndian(message, 4);
                    link.started = code != kSslRequest && code != kGssRequest;
                }
                if (!SendAll(link.server, message.data(), message.size())) {
                    link.Close();
                    break;
                }
                if (link.started && IsCommit(message) && m_armed.exchange(false)) {
                    link.cutting = true;
                    link.deadline = Clock::now() + kAnswerWait;
                    break;
                }
            }
        }
        links.erase(std::remove_if(links.begin(), links.end(),
                                   [](const Link& link) { return link.closed; }),
                    links.end());
    }
    for (Link& link : links) link.Close();
}

}  // namespace pgtest
