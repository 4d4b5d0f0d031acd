#include "PtyFront.h"

#include "FrontIo.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

namespace vsim {

namespace {

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Replaces an old symbolic link at `path`, never another kind of file.
bool MakeLink(const std::string& target, const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode) || unlink(path.c_str()) != 0) return false;
    }
    return symlink(target.c_str(), path.c_str()) == 0;
}

// Removes the link only while it still points at our slave.
void RemoveLink(const std::string& path, const std::string& target) {
    std::array<char, PATH_MAX> buffer{};
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    if (n > 0 && std::string(buffer.data(), static_cast<size_t>(n)) == target) {
        unlink(path.c_str());
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

PtyFront::PtyFront(ReaderEngine& engine) : m_engine(engine) {}

PtyFront::~PtyFront() {
    Stop();
}

bool PtyFront::Start(const std::string& symlinkPath) {
    if (Running()) return false;
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::array<char, 128> name{};
    bool ok = m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0 &&
              ptsname_r(m_master, name.data(), name.size()) == 0;
    if (ok) {
        m_slavePath = name.data();
        m_slave = open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        // Raw from the start, so that a client that writes before setting its own mode gets
        // no echo and no line editing.
        ok = m_slave >= 0 && MakeRaw(m_slave);
    }
    if (ok) {
        const int flags = fcntl(m_master, F_GETFL);
        ok = flags >= 0 && fcntl(m_master, F_SETFL, flags | O_NONBLOCK) == 0;
    }
    if (ok) {
        m_stopEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        ok = m_stopEvent >= 0;
    }
    if (ok && !symlinkPath.empty()) {
        ok = MakeLink(m_slavePath, symlinkPath);
        if (ok) m_linkPath = symlinkPath;
    }
    if (!ok) {
        CloseAll();
        return false;
    }
    m_thread = std::thread(&PtyFront::Run, this);
    return true;
}

void PtyFront::Stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        if (write(m_stopEvent, &one, sizeof one) < 0) {
            // An eventfd write fails only on counter overflow, which a second stop cannot cause.
        }
        m_thread.join();
    }
    CloseAll();
}

void PtyFront::CloseAll() {
    if (!m_linkPath.empty()) RemoveLink(m_linkPath, m_slavePath);
    m_linkPath.clear();
    CloseFd(m_master);
    CloseFd(m_slave);
    CloseFd(m_stopEvent);
    m_slavePath.clear();
}

void PtyFront::Run() {
    std::array<uint8_t, 512> buffer{};
    for (;;) {
        std::array<pollfd, 2> fds{{{m_stopEvent, POLLIN, 0}, {m_master, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        if ((fds[1].revents & POLLIN) == 0) {
            // Hang-up or error without data: our own slave fd prevents the usual hang-up, so
            // the line is broken for good.
            if (fds[1].revents != 0) return;
            continue;
        }
        const ssize_t n = read(m_master, buffer.data(), buffer.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return;
        const auto received = ReaderEngine::Clock::now();
        for (const ReaderEngine::Outgoing& out :
             m_engine.Receive(buffer.data(), static_cast<size_t>(n), LineBaud(), received)) {
            if (!WaitUntilOrStop(m_stopEvent, received + out.delay) ||
                !WriteAllOrStop(m_stopEvent, m_master, out.bytes, false)) {
                return;
            }
        }
    }
}

int PtyFront::LineBaud() const {
    // The master reads back the termios the client set on the slave.
    termios tio{};
    if (tcgetattr(m_master, &tio) != 0) return 0;
    return BaudOfSpeed(cfgetospeed(&tio));
}

int PtyFront::BaudOfSpeed(unsigned int speed) {
    struct SpeedBaud {
        speed_t speed;
        int baud;
    };
    static constexpr SpeedBaud kTable[] = {
        {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
        {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
        {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
        {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
        {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
        {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
        {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
        {B3500000, 3500000}, {B4000000, 4000000},
    };
    for (const SpeedBaud& entry : kTable) {
        if (entry.speed == speed) return entry.baud;
    }
    return 0;
}

}  // namespace vsim
