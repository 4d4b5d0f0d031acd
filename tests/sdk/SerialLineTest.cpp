// The serial line on real pseudo-terminals: line settings, the write buffer and a line that
// goes away under an open port.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "SimReader.h"
#include "ReaderEngine.h"
#include "ResidentMemory.h"
#include "VelRwPort.h"
#include "transport/LineSpeed.h"
#include "transport/SerialLine.h"
#include "vellf.h"

using namespace testsupport;

namespace {

// A bare pseudo-terminal pair: the test plays the device on the master side.
class PtyPair {
public:
    PtyPair() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        m_slavePath = ptsname(m_master);
    }
    ~PtyPair() { close(m_master); }
    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }
    termios Settings() const {
        termios tio{};
        tcgetattr(m_master, &tio);
        return tio;
    }
    // Bytes that arrive within the given time.
    std::vector<uint8_t> Read(int waitMs) {
        std::vector<uint8_t> out;
        pollfd fd{m_master, POLLIN, 0};
        while (poll(&fd, 1, waitMs) > 0 && (fd.revents & POLLIN)) {
            uint8_t chunk[1024];
            ssize_t got = read(m_master, chunk, sizeof chunk);
            if (got <= 0) break;
            out.insert(out.end(), chunk, chunk + got);
            waitMs = 20;
        }
        return out;
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};

class RecordingLine : public vellf::CUSBSerialPort {
public:
    ~RecordingLine() override { CloseLine(); }

protected:
    void OnByteReceived(uint8_t) override {}
};

}  // namespace

TEST(SerialLine, BuildsTheLineSettings) {
    struct Case {
        int baud;
        char parity;
        int stopBits;
        int handshake;
        speed_t speed;
        tcflag_t cflags;  // of PARENB, PARODD, CSTOPB, CRTSCTS
        tcflag_t iflags;  // of IXON, IXOFF
    };
    const Case cases[] = {
        {9600, 'N', 1, 0, B9600, 0, 0},
        {19200, 'E', 1, 0, B19200, PARENB, 0},
        {115200, 'O', 1, 0, B115200, PARENB | PARODD, 0},
        {57600, 'N', 2, 0, B57600, CSTOPB, 0},
        {9600, 'N', 1, 1, B9600, CRTSCTS, 0},
        {9600, 'N', 1, 2, B9600, 0, IXON | IXOFF},
        {9600, 'N', 1, 3, B9600, CRTSCTS, 0},
    };
    for (const Case& c : cases) {
        termios tio{};
        tio.c_lflag = ICANON | ECHO;
        tio.c_iflag = IXANY;
        ASSERT_TRUE(vellf::CUSBSerialPort::MakeLineSettings(tio, c.baud, c.parity, 8, c.stopBits,
                                                            c.handshake));
        EXPECT_EQ(cfgetospeed(&tio), c.speed) << c.baud;
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CSTOPB | CRTSCTS), c.cflags) << c.baud;
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), c.iflags) << c.baud;
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);  // raw: bytes pass unchanged
    }
    // A rate outside the table still makes the line raw: no echo, no CR/LF translation.
    termios tio{};
    tio.c_lflag = ICANON | ECHO;
    tio.c_iflag = ICRNL;
    tio.c_oflag = OPOST | ONLCR;
    EXPECT_FALSE(vellf::CUSBSerialPort::MakeLineSettings(tio, 12345, 'N', 8, 1, 0));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(tio.c_iflag & ICRNL, 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST(SerialLine, OpensTheLineWithItsSettings) {
    // A pseudo-terminal keeps the speed, stop bits and raw mode (it forces 8 bits, no parity).
    PtyPair pty;
    RecordingLine line;
    ASSERT_TRUE(line.OpenLine(pty.SlavePath(), 57600, 'N', 8, 2, 0, 512));
    const termios tio = pty.Settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    // A rate outside the table goes through the arbitrary-rate interface, the line raw.
    RecordingLine odd;
    PtyPair other;
    EXPECT_TRUE(odd.OpenLine(other.SlavePath(), 12345, 'N', 8, 1, 0, 512));
    EXPECT_TRUE(odd.IsLineOpen());
    EXPECT_EQ(vellf::CurrentLineSpeed(other.MasterFd()), 12345);
    EXPECT_EQ(other.Settings().c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(other.Settings().c_oflag & OPOST, 0u);
    // A rate no line can run at is refused rather than left to garble the frames.
    RecordingLine impossible;
    PtyPair third;
    EXPECT_FALSE(impossible.OpenLine(third.SlavePath(), 0, 'N', 8, 1, 0, 512));
    EXPECT_FALSE(impossible.IsLineOpen());
}

TEST(SerialLine, DropsWritesThatDoNotFitTheBuffer) {
    PtyPair pty;
    RecordingLine line;
    ASSERT_TRUE(line.OpenLine(pty.SlavePath(), 115200, 'N', 8, 1, 0, 512));
    ASSERT_EQ(line.StartMonitor(), 1);
    EXPECT_EQ(line.StartMonitor(), 0);
    const std::vector<uint8_t> big(600, 0x41);
    line.QueueWrite(big.data(), static_cast<int>(big.size()));
    EXPECT_TRUE(pty.Read(100).empty());
    const uint8_t text[] = "frame";
    line.QueueWrite(text, -1);
    EXPECT_EQ(pty.Read(500), (std::vector<uint8_t>{'f', 'r', 'a', 'm', 'e'}));
}

TEST(SerialLine, ALineThatGoesAwayEndsTheMonitor) {
    auto reader = StartReader("243c");
    const int handle = LfOpenPort(reader->Path().c_str(), 115200, 0, 200);
    ASSERT_GT(handle, 0);
    auto port = PortOf(handle);
    ASSERT_TRUE(port->IsMonitorAlive());
    reader->Unplug();
    for (int i = 0; i < 100 && port->IsMonitorAlive(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(port->IsMonitorAlive());
    EXPECT_FALSE(port->IsLineOpen());
    unsigned char reply[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(LfGetLastError(handle), 7);
    EXPECT_EQ(LfClosePort(handle), 0);
}

// A monitor whose wait fails can no longer deliver anything: the line counts as gone, and
// exchanges fail at once instead of waiting out their timeout.
TEST(SerialLine, AMonitorWhoseWaitFailsMarksTheLineGone) {
    // Holds the monitor in its error report until the descriptor limit is back: a thread
    // that ends under the limit trips the sanitizers' own checks, which need descriptors.
    class HeldPort : public vellf::CVel_RW_Port {
    public:
        std::atomic<bool> reported{false};
        std::atomic<bool> released{false};

    protected:
        void OnLineError(uint32_t) override {
            reported = true;
            for (int i = 0; i < 5000 && !released; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    };
    PtyPair pty;
    HeldPort port;
    ASSERT_EQ(port.OpenTransport(pty.SlavePath(), 115200, 0), 0);
    ASSERT_TRUE(port.IsMonitorAlive());
    // poll() refuses more descriptors than the process may open.
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = 2;
    setrlimit(RLIMIT_NOFILE, &tight);
    const uint8_t wake = 0;
    port.QueueWrite(&wake, 1);
    for (int i = 0; i < 1000 && !port.reported; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    setrlimit(RLIMIT_NOFILE, &saved);
    port.released = true;
    ASSERT_TRUE(port.reported);
    for (int i = 0; i < 200 && port.IsMonitorAlive(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(port.IsMonitorAlive());
    EXPECT_TRUE(port.IsLineGone());
    port.m_timeoutMs = 2000;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.Exchange(0xF0, {}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(port.LastError(), 7);
}

// A device that chatters while nobody waits cannot grow the port's memory: the port keeps
// only the newest bytes, and the next exchange still gets its reply.
TEST(SerialLine, AChatteringDeviceDoesNotGrowMemory) {
    PtyPair pty;
    vellf::CVel_RW_Port port;
    ASSERT_EQ(port.OpenTransport(pty.SlavePath(), 115200, 0), 0);
    const long before = ResidentBytes();
    const std::vector<uint8_t> noise(1 << 16, 0x00);
    for (size_t sent = 0; sent < (size_t{32} << 20);) {
        const ssize_t n = write(pty.MasterFd(), noise.data(), noise.size());
        ASSERT_GT(n, 0);
        sent += static_cast<size_t>(n);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the last chunk is read
    EXPECT_LT(ResidentBytes() - before, 16L << 20);

    vsim::ReaderEngine engine;
    engine.SetVersion("243c");
    std::thread device([&] {
        const std::vector<uint8_t> request = pty.Read(2000);
        const std::vector<uint8_t> reply = engine.OnBytes(request.data(), request.size(), 0);
        if (!reply.empty() && write(pty.MasterFd(), reply.data(), reply.size()) < 0) return;
    });
    std::vector<uint8_t> version;
    EXPECT_TRUE(port.Exchange(0xF0, {}, &version));
    device.join();
    EXPECT_EQ(version, (std::vector<uint8_t>{'2', '4', '3', 'c'}));
}
