#include "transport/TcpSocketThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <system_error>

#include "WaitHooks.h"
#include "discovery/LanProtocol.h"
#include "transport/PortNumbers.h"
#include "transport/TcpLog.h"

namespace vellf {

namespace {

// The longest sleep of an application-thread wait, so that a pump hook keeps a user
// interface alive.
constexpr auto kWaitSlice = std::chrono::milliseconds(10);

void Signal(int eventFd) {
    const uint64_t one = 1;
    if (write(eventFd, &one, sizeof one) < 0) {
        // Fails only when the counter would overflow; the event is signalled then anyway.
    }
}

void Reset(int eventFd) {
    uint64_t count = 0;
    if (read(eventFd, &count, sizeof count) < 0) {
        // EAGAIN: it was not signalled.
    }
}

// The decimal number at the start of text, as atoi reads it (0 when there is none).
int LeadingNumber(const std::string& text) {
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10) & 0x7FFFFFFF);
}

}  // namespace

CTCPSocketThread::CTCPSocketThread(CTCPSocket::ByteSink ownerPort)
    : m_ownerPort(std::move(ownerPort)) {
    m_socket.m_ownerPort = [this](const uint8_t* data, size_t size) { DeliverBytes(data, size); };
}

CTCPSocketThread::~CTCPSocketThread() {
    StopWorker();
    if (const int number = m_tcpNumber.exchange(0)) TcpPortNumbers().Release(number);
    CloseEvents();
}

void CTCPSocketThread::CloseEvents() {
    if (m_sendEvent >= 0) close(m_sendEvent);
    if (m_stopEvent >= 0) close(m_stopEvent);
    m_sendEvent = m_stopEvent = -1;
}

void CTCPSocketThread::TakeTcpNumber() {
    if (m_tcpNumber.load() == 0) m_tcpNumber = TcpPortNumbers().Acquire();
}

bool CTCPSocketThread::StartConnect(const std::string& name) {
    if (m_worker.joinable()) return false;
    const WaitHooks hooks = CurrentWaitHooks();
    hooks.Busy(true);
    m_connectName = name;
    if (m_sendEvent < 0) m_sendEvent = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_stopEvent < 0) m_stopEvent = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    bool ok = m_sendEvent >= 0 && m_stopEvent >= 0;
    if (ok) {
        m_stopRequested = false;
        {
            std::lock_guard<std::mutex> guard(m_stateLock);
            m_started = m_finished = m_connectOk = false;
        }
        try {
            m_worker = std::thread(&CTCPSocketThread::WorkerRun, this);
        } catch (const std::system_error&) {
            ok = false;  // no thread: nothing will ever set started
        }
    }
    if (ok) {
        std::unique_lock<std::mutex> lock(m_stateLock);
        while (!m_started) {
            m_stateChanged.wait_for(lock, kWaitSlice);
            if (!m_started && hooks.pump != nullptr) {
                lock.unlock();
                hooks.Pump();
                lock.lock();
            }
        }
        ok = m_connectOk;
    }
    if (ok) {
        TakeTcpNumber();
    } else if (m_worker.joinable()) {
        m_worker.join();  // the worker ends by itself after a failed connect
    }
    hooks.Busy(false);
    return ok;
}

bool CTCPSocketThread::QueueFrame(const std::vector<uint8_t>& frame) {
    std::lock_guard<std::mutex> guard(m_sendLock);
    // One exchange at a time per port: whatever still waits belongs to one that has ended.
    m_sendQueue.clear();
    m_liveExchange = ++m_lastExchange;
    m_sendQueue.push_back(QueuedFrame{m_liveExchange, frame});
    if (m_sendEvent >= 0) Signal(m_sendEvent);
    return true;
}

void CTCPSocketThread::EndExchange(bool complete) {
    std::lock_guard<std::mutex> guard(m_sendLock);
    if (m_liveExchange == 0) return;
    // Its reply may still be on the way and would arrive in the middle of the next exchange.
    // Reset at once, not before the next frame: while the link is down the kernel keeps
    // retransmitting the frame, and it would reach the reader whenever the link returns.
    const bool reset = !complete && m_sentExchange == m_liveExchange;
    m_liveExchange = 0;
    m_sendQueue.clear();
    if (reset) {
        m_resetConnection = true;
        if (m_sendEvent >= 0) Signal(m_sendEvent);
    }
}

void CTCPSocketThread::DeliverBytes(const uint8_t* data, size_t size) {
    // Bytes before the live exchange's frame went out, or after its exchange ended, answer
    // nothing that anybody waits for.
    std::lock_guard<std::mutex> guard(m_sendLock);
    if (m_liveExchange == 0 || m_sentExchange != m_liveExchange) return;
    if (m_ownerPort) m_ownerPort(data, size);
}

void CTCPSocketThread::StopWorker() {
    if (const int number = m_tcpNumber.exchange(0)) TcpPortNumbers().Release(number);
    if (!m_worker.joinable()) return;
    m_stopRequested = true;
    Signal(m_stopEvent);
    const WaitHooks hooks = CurrentWaitHooks();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
    {
        std::unique_lock<std::mutex> lock(m_stateLock);
        while (!m_finished && std::chrono::steady_clock::now() < limit) {
            m_stateChanged.wait_for(lock, kWaitSlice);
            if (!m_finished && hooks.pump != nullptr) {
                lock.unlock();
                hooks.Pump();
                lock.lock();
            }
        }
    }
    // Every wait of the worker also watches the stop event, so this does not block for long.
    m_worker.join();
}

bool CTCPSocketThread::SleepUnlessStopped(int ms) const {
    pollfd stop{m_stopEvent, POLLIN, 0};
    return poll(&stop, 1, ms) == 0;
}

void CTCPSocketThread::WorkerRun() {
    const bool connected = ConnectTo(m_connectName);
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_started = true;
        m_connectOk = connected;
    }
    m_stateChanged.notify_all();
    while (connected && !Stopping()) {
        std::array<pollfd, 3> fds{{{m_stopEvent, POLLIN, 0},
                                   {m_sendEvent, POLLIN, 0},
                                   {m_socket.Number(), POLLIN | POLLRDHUP, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        if (fds[2].revents != 0) m_socket.OnReceive((fds[2].revents & (POLLRDHUP | POLLHUP)) != 0);
        if (fds[1].revents != 0) SendQueued();
    }
    // A stop may come between an exchange's end and its reset: a frame still unanswered in
    // the kernel would be retransmitted after a plain close, and reach the reader whenever a
    // broken link returns.
    bool unanswered = false;
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        unanswered = m_resetConnection || (m_liveExchange != 0 && m_sentExchange == m_liveExchange);
        m_resetConnection = false;
    }
    if (unanswered) m_socket.Abort();
    m_socket.Close();
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_finished = true;
    }
    m_stateChanged.notify_all();
}

void CTCPSocketThread::SendQueued() {
    QueuedFrame frame;
    bool have = false;
    bool reset = false;
    {
        std::lock_guard<std::mutex> guard(m_sendLock);
        if (!m_sendQueue.empty()) {
            frame = std::move(m_sendQueue.front());
            m_sendQueue.pop_front();
            have = frame.exchange == m_liveExchange;
        }
        if (m_sendQueue.empty()) Reset(m_sendEvent);
        reset = m_resetConnection;
        m_resetConnection = false;
    }
    if (reset && m_socket.m_connected == 1) {
        // Abort rather than close: no late reply of the unanswered frame can follow, and the
        // reconnect from the same local port finds no connection lingering in TIME_WAIT.
        m_socket.Abort();
        m_socket.OnClose(ECONNABORTED);
    }
    // A frame that cannot be sent is lost; its command times out.
    if (have && !SendFrame(frame)) m_socket.Close();
}

std::string CTCPSocketThread::ResolveAddress(const std::string& name, bool pump) {
    const size_t open = name.find('[');
    if (open == std::string::npos) return name;
    const size_t close = name.find(']', open);
    const std::string deviceName =
        name.substr(open, close == std::string::npos ? std::string::npos : close - open + 1);
    return lan::ResolveDeviceName(m_socket, deviceName, kResolveWindowMs,
                                  pump ? CurrentWaitHooks() : WaitHooks{});
}

bool CTCPSocketThread::ConnectTo(const std::string& name) {
    CTCPSocket& socket = m_socket;
    socket.m_host = ResolveAddress(name, false);
    const size_t dash = socket.m_host.rfind('-');
    if (dash != std::string::npos) {
        socket.m_port = LeadingNumber(socket.m_host.substr(dash + 1));
        socket.m_host.erase(dash);
    } else {
        socket.m_port = CTCPSocket::kDefaultPort;
    }
    socket.SelectAdapterForHost(socket.m_host);

    for (int attempt = 1;; ++attempt) {
        const int error = socket.CreateStream(0, false);
        if (error == 0) break;
        SocketLog(socket.m_host, " Create Err %d \n", error);
        if (attempt == kCreateAttempts || !SleepUnlessStopped(kCreateRetryMs)) return false;
    }
    if (const int error = socket.SetReuseAddress()) {
        SocketLog(socket.m_host, " SetSockOpt Err %d \n", error);
    }
    for (int retry = 0;; ++retry) {
        const int error = socket.Connect(m_stopEvent, kConnectLimitMs);
        if (error == 0) break;
        SocketLog(socket.m_host, " Connect Err %d \n", error);
        // A failed connect leaves a Linux socket unusable: a retry needs a fresh one.
        if (error != EADDRINUSE || retry == kAddressInUseRetries ||
            socket.CreateStream(0, true) != 0) {
            socket.Close();
            return false;
        }
    }
    socket.m_connected = 1;
    return true;
}

bool CTCPSocketThread::SendFrame(const QueuedFrame& frame) {
    if (!EnsureConnected()) return false;
    // The connect may have taken longer than the exchange waited: a frame whose exchange has
    // ended is never sent. The lock makes the check and the send one step for EndExchange.
    std::lock_guard<std::mutex> guard(m_sendLock);
    if (frame.exchange != m_liveExchange) return true;
    if (const int error = m_socket.Send(frame.bytes, m_stopEvent, kSendLimitMs)) {
        SocketLog(m_socket.m_host, " Socket Send Error %d\n", error);
        // Part of the frame may sit in the kernel: aborted, it is never sent.
        m_socket.Abort();
        m_socket.OnClose(0);
        return false;
    }
    m_sentExchange = frame.exchange;
    return true;
}

bool CTCPSocketThread::EnsureConnected() {
    CTCPSocket& socket = m_socket;
    if (socket.m_connected == 1) return true;
    if (socket.m_host.empty()) return false;
    // The reconnect comes from the reader's own port number.
    if (const int error = socket.CreateStream(socket.m_port, true)) {
        SocketLog(socket.m_host, " Socket Create Error %d\n", error);
        return false;
    }
    if (const int error = socket.Connect(m_stopEvent, kConnectLimitMs)) {
        SocketLog(socket.m_host, " Socket Connect Error %d\n", error);
        socket.Close();
        return false;
    }
    SocketLog(socket.m_host, "Socket %d reconnected\n", socket.Number());
    socket.m_connected = 1;
    return true;
}

bool CTCPSocketThread::ConnectUdp(const std::string& address) {
    const WaitHooks hooks = CurrentWaitHooks();
    m_connectName = ResolveAddress(address, true);
    const size_t dash = m_connectName.rfind('-');
    if (dash != std::string::npos) m_connectName.erase(dash);
    CTCPSocket& socket = m_socket;
    if (socket.m_adapters.empty()) socket.ListAdapters();
    if (!socket.SelectFirstAdapter()) return false;
    do {
        if (socket.OpenUdp(m_connectName)) {
            std::vector<uint8_t> record;
            if (lan::QueryRecord(socket, 0, record, true, hooks)) {
                TakeTcpNumber();
                return true;
            }
            socket.CloseDatagram();
        }
    } while (socket.SelectNextAdapter());
    return false;
}

}  // namespace vellf
