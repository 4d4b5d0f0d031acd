// Network readers that misbehave on loopback: an outage while commands time out, a peer that
// floods the port, a socket that takes a frame only in parts.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "LoopbackReaderTest.h"
#include "ResidentMemory.h"
#include "SimReader.h"
#include "TcpFront.h"
#include "TransponderFactory.h"
#include "transport/TcpSocket.h"
#include "vellf.h"

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// Bytes the kernel holds for the station's end of the peer's connection client, from
// /proc/net/tcp; 0 when the connection is not found.
long StationReceiveQueue(int client) {
    sockaddr_in station{};
    socklen_t size = sizeof station;
    if (getpeername(client, reinterpret_cast<sockaddr*>(&station), &size) != 0) return 0;
    char local[32];
    std::snprintf(local, sizeof local, "%08X:%04X", station.sin_addr.s_addr,
                  ntohs(station.sin_port));
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, address, remote, state, queues;
        fields >> slot >> address >> remote >> state >> queues;
        if (address != local) continue;
        const size_t colon = queues.find(':');
        return colon == std::string::npos ? 0 : std::stol(queues.substr(colon + 1), nullptr, 16);
    }
    return 0;
}

// Sends bytes of noise to the port and returns once the port has read them all: nothing is
// left in the send queue.
void FloodAndDrain(int client, size_t bytes) {
    const std::vector<uint8_t> noise(1 << 20, 0x00);
    for (size_t sent = 0; sent < bytes;) {
        const ssize_t n = send(client, noise.data(), noise.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    for (int outq = 1; outq > 0;) {
        ioctl(client, TIOCOUTQ, &outq);
        if (outq > 0) std::this_thread::sleep_for(5ms);
    }
    // On loopback the last megabytes are acknowledged as soon as they sit in the station's
    // receive queue; wait until the station has read them too, so that a slow machine does
    // not time out the next command behind them. Bounded: a station that stopped reading
    // shows in the command's result.
    for (int i = 0; i < 3000 && StationReceiveQueue(client) > 0; ++i)
        std::this_thread::sleep_for(10ms);
}

// A loopback socket bound to address:port (0 = any port); listening when backlog >= 0.
int BoundSocket(const std::string& address, uint16_t port, int backlog) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &in.sin_addr);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0 ||
        (backlog >= 0 && listen(fd, backlog) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

uint16_t LocalPort(int fd) {
    sockaddr_in in{};
    socklen_t length = sizeof in;
    getsockname(fd, reinterpret_cast<sockaddr*>(&in), &length);
    return ntohs(in.sin_port);
}

int ConnectTo(const std::string& address, uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &in.sin_addr);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// An address whose connects hang, as those to a reader behind a cut cable: it listens, but
// its accept queue is full, so the kernel drops every further connection request.
class Unreachable {
  public:
    Unreachable(const std::string& address, uint16_t port) {
        m_listen = BoundSocket(address, port, 0);
        m_queued = ConnectTo(address, port);
    }
    ~Unreachable() { Restore(); }
    bool Ready() const { return m_listen >= 0 && m_queued >= 0; }
    void Restore() {
        if (m_queued >= 0) close(m_queued);
        if (m_listen >= 0) close(m_listen);
        m_queued = m_listen = -1;
    }

  private:
    int m_listen = -1;
    int m_queued = -1;
};

class TcpFaults : public LoopbackReaderTest {
  protected:
    static std::string Version(int handle) {
        unsigned char reply[16];
        const int count = LfGetVersion(handle, reply, sizeof reply, nullptr, 0);
        return count > 0 ? std::string(reply, reply + count) : "";
    }
};

// Frames of commands that timed out while the reader was unreachable never reach it later,
// and nothing they could have caused is taken for the next command's reply.
TEST_F(TcpFaults, CommandsThatTimedOutDuringAnOutageAreNeverSentLater) {
    const std::string address = "127.0.0.21";
    ASSERT_TRUE(m_front.Start(address, 0));
    const uint16_t port = m_front.Port();
    const int handle = LfOpenPort((address + "-" + std::to_string(port)).c_str(), 9600, 0x80, 200);
    ASSERT_GT(handle, 0);
    m_engine.PlaceTransponder(vsim::MakeConfiguredChip(9, 0x000880E8));

    m_front.Stop();  // the reader goes away and its address stops answering
    Unreachable outage(address, port);
    ASSERT_TRUE(outage.Ready());
    ASSERT_TRUE(WaitForLog("closed"));
    const size_t requests = m_engine.RequestCount();
    EXPECT_EQ(LfWriteWiegand26(handle, 9, 1, 100, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
    EXPECT_EQ(LfWriteWiegand26(handle, 9, 1, 101, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);

    // The link comes back while the port's reconnect still waits for an answer.
    outage.Restore();
    const size_t accepted = m_front.Accepted();
    ASSERT_TRUE(m_front.Start(address, port));
    for (int i = 0; i < 1000 && m_front.Accepted() == accepted; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_GT(m_front.Accepted(), accepted);
    std::this_thread::sleep_for(200ms);  // what the port would still send has arrived by now
    EXPECT_EQ(m_engine.RequestCount(), requests);

    EXPECT_EQ(Version(handle), "243c");
    ASSERT_EQ(m_engine.RequestCount(), requests + 1);
    EXPECT_EQ(m_engine.Requests().back().request.command, 0xF0);
    EXPECT_EQ(LfClosePort(handle), 0);
}

// A reply that comes after its command timed out is not taken for the next command's, even
// when it arrives while that command waits.
TEST_F(TcpFaults, ALateReplyIsNotTakenForTheNextCommand) {
    const std::string address = "127.0.0.22";
    ASSERT_TRUE(m_front.Start(address, 0));
    const int handle = LfOpenPort((address + "-" + std::to_string(m_front.Port())).c_str(), 9600,
                                  0x80, 200);
    ASSERT_GT(handle, 0);
    m_engine.SetReplyDelay(300ms);  // later than the 200 ms the port waits
    unsigned char serial[16];
    EXPECT_EQ(LfGetSerialNumber(handle, serial, sizeof serial), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
    m_engine.SetReplyDelay(0ms);
    // The serial number's reply arrives about 100 ms into the version request's wait.
    EXPECT_EQ(Version(handle), "243c");
    EXPECT_EQ(Version(handle), "243c");
    EXPECT_EQ(LfClosePort(handle), 0);
}

// An exchange that ends without its reply after its frame went out resets the connection at
// once, not only before the next frame: the kernel would otherwise keep retransmitting that
// frame through an outage and deliver it when the link returns.
TEST_F(TcpFaults, ATimedOutExchangeResetsTheConnectionAtOnce) {
    const std::string address = "127.0.0.26";
    ASSERT_TRUE(m_front.Start(address, 0));
    const int handle = LfOpenPort((address + "-" + std::to_string(m_front.Port())).c_str(), 9600,
                                  0x80, 200);
    ASSERT_GT(handle, 0);
    m_engine.SetReplyDelay(300ms);
    unsigned char serial[16];
    EXPECT_EQ(LfGetSerialNumber(handle, serial, sizeof serial), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
    EXPECT_TRUE(WaitForLog("closed"));  // no further command needed
    m_engine.SetReplyDelay(0ms);
    EXPECT_EQ(Version(handle), "243c");
    EXPECT_EQ(LfClosePort(handle), 0);
}

// A peer that floods the port between commands cannot grow the station's memory, and the
// next command still gets its reply.
TEST_F(TcpFaults, AFloodingPeerDoesNotGrowMemory) {
    constexpr size_t kFloodBytes = size_t{256} << 20;
    const int listener = BoundSocket("127.0.0.23", 0, 1);
    ASSERT_GE(listener, 0);
    const uint16_t port = LocalPort(listener);
    std::atomic<bool> flooded{false};
    std::atomic<bool> answer{false};
    std::thread peer([&] {
        const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        // Answers requests with the engine; floods once after the first reply.
        uint8_t buffer[512];
        bool first = true;
        for (;;) {
            pollfd fd{client, POLLIN, 0};
            if (poll(&fd, 1, 5000) <= 0) break;
            const ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            const std::vector<uint8_t> reply = m_engine.OnBytes(buffer, static_cast<size_t>(got), 0);
            if (send(client, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
            if (!first) continue;
            first = false;
            while (!answer.load()) std::this_thread::sleep_for(1ms);
            FloodAndDrain(client, kFloodBytes);
            flooded = true;
        }
        close(client);
    });
    const int handle = LfOpenPort(("127.0.0.23-" + std::to_string(port)).c_str(), 9600, 0x80, 500);
    ASSERT_GT(handle, 0);
    const long before = ResidentBytes();
    answer = true;
    for (int i = 0; i < 12000 && !flooded.load(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(flooded.load());
    EXPECT_LT(ResidentBytes() - before, 32L << 20);
    EXPECT_EQ(Version(handle), "243c");
    EXPECT_EQ(LfClosePort(handle), 0);
    peer.join();
    close(listener);
}

// A peer that floods the port while a reply is awaited, and the caller's event loop is too
// busy to read, cannot grow the station's memory either.
TEST_F(TcpFaults, AFloodDuringAWaitWithABusyEventLoopDoesNotGrowMemory) {
    constexpr size_t kFloodBytes = size_t{64} << 20;
    const int listener = BoundSocket("127.0.0.27", 0, 1);
    ASSERT_GE(listener, 0);
    std::atomic<bool> flooded{false};
    std::thread peer([&] {
        const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        uint8_t buffer[512];
        pollfd fd{client, POLLIN, 0};
        // The open's request gets its reply; the next one no reply, only noise.
        ssize_t got = poll(&fd, 1, 5000) > 0 ? recv(client, buffer, sizeof buffer, 0) : 0;
        if (got > 0) {
            const std::vector<uint8_t> reply = m_engine.OnBytes(buffer, static_cast<size_t>(got), 0);
            send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        if (got > 0 && poll(&fd, 1, 5000) > 0 && recv(client, buffer, sizeof buffer, 0) > 0) {
            FloodAndDrain(client, kFloodBytes);
            flooded = true;
        }
        close(client);
    });
    const int handle =
        LfOpenPort(("127.0.0.27-" + std::to_string(LocalPort(listener))).c_str(), 9600, 0x80, 3000);
    ASSERT_GT(handle, 0);
    const long before = ResidentBytes();
    // The event loop is busy until the flood is in: the waiting thread reads nothing.
    LfSetWaitHooks(
        [](void* context) {
            auto* done = static_cast<std::atomic<bool>*>(context);
            for (int i = 0; i < 2000 && !done->load(); ++i) std::this_thread::sleep_for(1ms);
        },
        nullptr, &flooded);
    unsigned char serial[16];
    EXPECT_EQ(LfGetSerialNumber(handle, serial, sizeof serial), -1);
    LfSetWaitHooks(nullptr, nullptr, nullptr);
    EXPECT_TRUE(flooded.load());
    EXPECT_LT(ResidentBytes() - before, 32L << 20);
    EXPECT_EQ(LfClosePort(handle), 0);
    peer.join();
    close(listener);
}

// A frame the socket takes only in part is finished once there is room again, within a
// limit; a stop request ends the wait at once.
TEST(TcpSocketSend, FinishesAFrameTheSocketTookInParts) {
    const int listener = BoundSocket("127.0.0.24", 0, 1);
    ASSERT_GE(listener, 0);
    const int small = 4096;
    setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    vellf::CTCPSocket socket;
    socket.m_host = "127.0.0.24";
    socket.m_port = LocalPort(listener);
    ASSERT_EQ(socket.CreateStream(0, false), 0);
    setsockopt(socket.Number(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ASSERT_EQ(socket.Connect(-1, 1000), 0);
    const int peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(peer, 0);
    // Fill both buffers: the peer reads nothing yet.
    const std::vector<uint8_t> filler(1024, 0xEE);
    size_t queued = 0;
    for (int full = 0; full < 5;) {  // full five times in a row, 20 ms apart
        const ssize_t n =
            send(socket.Number(), filler.data(), filler.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            queued += static_cast<size_t>(n);
            full = 0;
        } else {
            ++full;
            std::this_thread::sleep_for(20ms);
        }
    }
    std::vector<uint8_t> frame(300);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i);

    // Nobody reads: the limit ends the wait; a stop request ends it before the limit.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket.Send(frame, -1, 100), ETIMEDOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);
    const int stop = eventfd(1, EFD_CLOEXEC);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket.Send(frame, stop, 5000), ECANCELED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    close(stop);

    // The peer starts reading after a while: the frame goes out whole, after the filler.
    std::vector<uint8_t> received;
    std::thread reader([&] {
        std::this_thread::sleep_for(100ms);
        uint8_t chunk[4096];
        for (;;) {
            pollfd fd{peer, POLLIN, 0};
            if (poll(&fd, 1, 500) <= 0) break;
            const ssize_t got = recv(peer, chunk, sizeof chunk, 0);
            if (got <= 0) break;
            received.insert(received.end(), chunk, chunk + got);
        }
    });
    EXPECT_EQ(socket.Send(frame, -1, 5000), 0);
    reader.join();
    ASSERT_GE(received.size(), frame.size());
    // Whatever of the timed-out attempts went out lies between; the last frame is whole.
    EXPECT_EQ(std::vector<uint8_t>(received.end() - static_cast<long>(frame.size()), received.end()),
              frame);
    EXPECT_GE(received.size(), queued + frame.size());
    close(peer);
    close(listener);
}

}  // namespace
