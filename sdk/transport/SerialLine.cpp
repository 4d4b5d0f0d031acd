#include "transport/SerialLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Diagnostics.h"
#include "transport/LineSpeed.h"
#include "transport/PortName.h"

namespace vellf {

namespace {

struct BaudEntry {
    int baud;
    speed_t speed;
};

constexpr BaudEntry kBaudRates[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800},
    {921600, B921600},
};

bool SpeedForBaud(int baud, speed_t& speed) {
    for (const BaudEntry& entry : kBaudRates) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

void SignalEvent(int eventFd) {
    if (eventFd < 0) return;
    uint64_t one = 1;
    // A full counter cannot happen here; the monitor resets the event on every wake-up.
    [[maybe_unused]] ssize_t written = write(eventFd, &one, sizeof one);
}

void ResetEvent(int eventFd) {
    uint64_t count;
    [[maybe_unused]] ssize_t got = read(eventFd, &count, sizeof count);
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

CUSBSerialPort::CUSBSerialPort() = default;

CUSBSerialPort::~CUSBSerialPort() { CloseLine(); }

void CUSBSerialPort::OnBytesReceived(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) OnByteReceived(data[i]);
}

void CUSBSerialPort::ReportFailure(const char* step, int error) const {
    ReportFailure(step, std::string(std::strerror(error)));
}

void CUSBSerialPort::ReportFailure(const char* step, const std::string& reason) const {
    Diagnostic("WARNING:  %s Failed with the following error: \n%s\nPort: %s\n", step,
               reason.c_str(), m_portName.c_str());
}

bool CUSBSerialPort::OpenLine(const std::string& name, int baud, char parity, int dataBits,
                              int stopBits, int handshake, size_t writeBufferSize) {
    CloseLine();
    m_lineGone = false;
    std::string device = name;
    m_portName = name;
    m_useD2xx = !NormalizeComName(device, m_portNumber);

    m_shutdownEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_writeEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    {
        std::lock_guard<std::mutex> guard(m_writeLock);
        m_writeBuffer.assign(writeBufferSize, 0);
        m_writeFill = 0;
    }
    if (m_shutdownEvent < 0 || m_writeEvent < 0) {
        ReportFailure("eventfd()", errno);
        CloseLine();
        return false;
    }

    std::unique_lock<std::mutex> guard(m_lineLock);
    if (m_useD2xx) {
        const bool opened = OpenD2xxLine(device, baud, parity, dataBits, stopBits, handshake);
        guard.unlock();
        if (!opened) CloseLine();
        return opened;
    }
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        guard.unlock();
        CloseLine();
        return false;
    }
    // The line belongs to this port alone: another program or port must not share it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        guard.unlock();
        CloseLine();
        return false;
    }
    ioctl(fd, TIOCEXCL);
    m_portHandle = fd;
    if (!ConfigureLine(baud, parity, dataBits, stopBits, handshake)) {
        // A line at a rate other than the reader's would garble every frame.
        guard.unlock();
        CloseLine();
        return false;
    }
    if (tcflush(fd, TCIOFLUSH) != 0 && errno != ENOTTY) ReportFailure("tcflush()", errno);
    return true;
}

bool CUSBSerialPort::MakeLineSettings(termios& tio, int baud, char parity, int dataBits,
                                      int stopBits, int handshake) {
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (dataBits) {
        case 5: tio.c_cflag |= CS5; break;
        case 6: tio.c_cflag |= CS6; break;
        case 7: tio.c_cflag |= CS7; break;
        default: tio.c_cflag |= CS8; break;
    }
    if (parity == 'E' || parity == 'e') tio.c_cflag |= PARENB;
    if (parity == 'O' || parity == 'o') tio.c_cflag |= PARENB | PARODD;
    if (stopBits == 2) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (handshake == 1 || handshake == 3) tio.c_cflag |= CRTSCTS;
    if (handshake == 2) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = 0x11;
        tio.c_cc[VSTOP] = 0x13;
    }
    // With O_NONBLOCK, VMIN 1 makes an empty line answer EAGAIN, so that a read of 0 bytes
    // means end of file (the device has gone), never just "nothing yet".
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    speed_t speed;
    if (!SpeedForBaud(baud, speed)) return false;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return true;
}

bool CUSBSerialPort::ConfigureLine(int baud, char parity, int dataBits, int stopBits,
                                   int handshake) {
    // A failing step is reported and the line stays as it is; only a rate the line cannot run
    // at refuses the open.
    termios tio{};
    if (tcgetattr(m_portHandle, &tio) != 0) {
        ReportFailure("tcgetattr()", errno);
        return true;
    }
    const bool standardRate = MakeLineSettings(tio, baud, parity, dataBits, stopBits, handshake);
    if (tcsetattr(m_portHandle, TCSANOW, &tio) != 0) {
        ReportFailure("tcsetattr()", errno);
        return true;
    }
    if (!standardRate && !SetArbitraryLineSpeed(m_portHandle, baud)) {
        ReportFailure("ioctl(TCSETS2)", "the line cannot run at " + std::to_string(baud) + " baud");
        return false;
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    // Pseudo-terminals have no modem lines; only a real line's failure is worth a warning.
    if (ioctl(m_portHandle, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
        ReportFailure("ioctl(TIOCMBIS)", errno);
    }
    return true;
}

int CUSBSerialPort::StartMonitor() {
    if (m_monitorThread.joinable() || !IsLineOpen()) return 0;
    m_monitorAlive = true;
    try {
        m_monitorThread = std::thread(&CUSBSerialPort::MonitorLoop, this);
    } catch (const std::system_error&) {
        m_monitorAlive = false;
        return 0;
    }
    return 1;
}

void CUSBSerialPort::MonitorLoop() {
    if (m_useD2xx) {
        D2xxMonitorLoop();
        m_monitorAlive = false;
        return;
    }
    // Waits for received bytes, queued writes and the stop request alike, so an idle line
    // costs no wake-ups at all.
    while (m_portHandle >= 0) {
        pollfd fds[3] = {{m_shutdownEvent, POLLIN, 0},
                         {m_writeEvent, POLLIN, 0},
                         {m_portHandle, POLLIN, 0}};
        int ready = poll(fds, 3, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            // Nothing watches the line any more: it is as good as gone.
            ReportFailure("poll()", errno);
            LineGone();
            break;
        }
        if (fds[0].revents & POLLIN) break;
        if (fds[1].revents & POLLIN) FlushWrite();
        if (fds[2].revents & POLLIN) {
            if (!ReadAvailable()) fds[2].revents |= POLLHUP;
        }
        if (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The device has gone: close the line ourselves.
            LineGone();
            break;
        }
    }
    m_monitorAlive = false;
}

void CUSBSerialPort::LineGone() {
    OnLineError(kLineGone);
    CloseHandle();
    // Exchanges fail at once from now on instead of waiting for a reply that cannot come.
    m_lineGone = true;
}

bool CUSBSerialPort::ReadAvailable() {
    uint8_t chunk[256];
    for (;;) {
        ssize_t got = read(m_portHandle, chunk, sizeof chunk);
        if (got > 0) {
            OnBytesReceived(chunk, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return true;
        if (got < 0 && errno != EIO) ReportFailure("read()", errno);
        return false;  // end of file or I/O error: the line is gone
    }
}

void CUSBSerialPort::QueueWrite(const uint8_t* data, int length) {
    if (data == nullptr) return;
    size_t size = length == -1 ? std::strlen(reinterpret_cast<const char*>(data))
                               : static_cast<size_t>(length < 0 ? 0 : length);
    std::lock_guard<std::mutex> guard(m_writeLock);
    if (m_writeFill + size <= m_writeBuffer.size()) {
        std::memcpy(m_writeBuffer.data() + m_writeFill, data, size);
        m_writeFill += size;
    }
    SignalEvent(m_writeEvent);
}

void CUSBSerialPort::FlushWrite() {
    ResetEvent(m_writeEvent);
    std::lock_guard<std::mutex> guard(m_writeLock);
    if (m_useD2xx) {
        FlushD2xxWrite();
        return;
    }
    size_t sent = 0;
    while (sent < m_writeFill) {
        ssize_t put = write(m_portHandle, m_writeBuffer.data() + sent, m_writeFill - sent);
        if (put > 0) {
            sent += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno == EAGAIN) {
            pollfd out{m_portHandle, POLLOUT, 0};
            if (poll(&out, 1, 1000) > 0 && !(out.revents & (POLLHUP | POLLERR))) continue;
        }
        ReportFailure("write()", errno);
        // What went out is gone; the rest goes with the next signalled write.
        std::memmove(m_writeBuffer.data(), m_writeBuffer.data() + sent, m_writeFill - sent);
        m_writeFill -= sent;
        return;
    }
    m_writeFill = 0;
}

void CUSBSerialPort::CloseHandle() {
    CloseD2xxHandle();
    if (m_portHandle < 0) return;
    ioctl(m_portHandle, TIOCNXCL);  // the exclusive mark outlives us when others hold the tty
    flock(m_portHandle, LOCK_UN);
    if (close(m_portHandle) != 0) ReportFailure("close()", errno);
    m_portHandle = -1;
}

void CUSBSerialPort::CloseLine() {
    if (m_monitorThread.joinable()) {
        SignalEvent(m_shutdownEvent);
        m_monitorThread.join();
    }
    m_monitorAlive = false;
    CloseHandle();
    // Under the write lock: another thread may be queueing a frame on a port being closed.
    std::lock_guard<std::mutex> guard(m_writeLock);
    CloseFd(m_writeEvent);
    CloseFd(m_shutdownEvent);
    m_writeBuffer.clear();
    m_writeFill = 0;
}

}  // namespace vellf
