// qortrace: receives the station's trace output and prints it line by line.
//
// The station sends every text as datagrams of four bytes to the socket "QorTracer" in
// $XDG_RUNTIME_DIR, zero-padding the last group; this viewer binds that socket, joins the
// bytes and prints each line, converted from Latin-1 to UTF-8.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

void PrintUsage() {
    std::puts(
        "usage: qortrace [--lines N]\n"
        "Prints the trace lines of the programming station, each after the local time it\n"
        "arrived (HH:MM:SS.mmm), until interrupted or until N lines have been printed.\n"
        "  --lines N, -n N  stop after N lines\n"
        "  --help, -h       show this text\n"
        "The socket is $XDG_RUNTIME_DIR/QorTracer.");
}

// The local time of day with milliseconds, so that lines can be matched against other logs.
std::string TimeStamp() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min,
                  local.tm_sec, now.tv_nsec / 1000000);
    return text;
}

std::string Latin1ToUtf8(const std::string& text) {
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            result += c;
        } else {
            result += static_cast<char>(0xC0 | (byte >> 6));
            result += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return result;
}

// True when another viewer is bound to the socket at path.
bool ViewerRunning(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const bool running =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return running;
}

// Binds the viewer socket, replacing a file left behind by a viewer that ended abnormally.
int BindViewerSocket(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "qortrace: socket path too long: %s\n", path.c_str());
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (ViewerRunning(address)) {
        std::fprintf(stderr, "qortrace: another viewer is running on %s\n", path.c_str());
        return -1;
    }
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "qortrace: cannot bind %s: %s\n", path.c_str(), std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    long maxLines = 0;  // 0: until interrupted
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--lines" || arg == "-n") && i + 1 < argc) {
            maxLines = std::strtol(argv[++i], nullptr, 10);
        } else {
            PrintUsage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir == nullptr || *runtimeDir == '\0') {
        std::fprintf(stderr, "qortrace: XDG_RUNTIME_DIR is not set\n");
        return 1;
    }
    const std::string path = std::string(runtimeDir) + "/QorTracer";
    const int fd = BindViewerSocket(path);
    if (fd < 0) return 1;

    // Without SA_RESTART, so that a signal ends the wait in recv().
    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    std::string line;
    long printed = 0;
    while (g_stop == 0 && (maxLines <= 0 || printed < maxLines)) {
        char group[64];
        const ssize_t count = ::recv(fd, group, sizeof group, 0);
        if (count < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "qortrace: receive failed: %s\n", std::strerror(errno));
            break;
        }
        for (ssize_t i = 0; i < count; ++i) {
            if (group[i] == '\0')  // padding of a text's last group
                continue;
            if (group[i] != '\n') {
                line += group[i];
                continue;
            }
            std::printf("%s %s\n", TimeStamp().c_str(), Latin1ToUtf8(line).c_str());
            std::fflush(stdout);
            line.clear();
            if (maxLines > 0 && ++printed >= maxLines) break;
        }
    }
    ::close(fd);
    ::unlink(path.c_str());
    return 0;
}
