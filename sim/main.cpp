// vel-reader-sim: a simulated reader on a pseudo-terminal. Prints the line's path as its first
// output line, then takes control commands (one per line) from standard input and, when asked,
// from a Unix stream socket. With --panel a window shows the field and controls it; the
// command loop then runs on a thread of its own.

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ControlProtocol.h"
#include "NetModuleControl.h"
#include "PanelMain.h"
#include "ReaderAnnouncement.h"
#include "TransponderSnapshot.h"
#include "VirtualReader.h"

namespace {

constexpr size_t kMaxPendingLine = 4096;

const char kUsage[] =
    "usage: vel-reader-sim [--version TEXT] [--serial HEX] [--link PATH] [--control SOCKET]\n"
    "                      [--timing realistic|off] [--name TEXT] [--chip-series N] [--panel]\n"
    "\n"
    "Simulates a reader on a pseudo-terminal and prints the terminal's path as the first line.\n"
    "  --version TEXT    reply to the version request (default 243c)\n"
    "  --serial HEX      serial number bytes, e.g. 01020304\n"
    "  --timing MODE     realistic: replies take the line and radio time of a real reader\n"
    "  --link PATH       also make a symbolic link to the terminal at PATH\n"
    "  --name TEXT       the name the station's interface choice lists the reader by\n"
    "                    (default \"Virtual reader\")\n"
    "  --chip-series N   the chips this reader lays count their identifications in series N\n"
    "                    (1-4095), so that the chips of readers with different series never\n"
    "                    share one; the same series gives the same identifications again.\n"
    "                    Default: the series of the --name given, else one chosen at random\n"
    "  --control SOCKET  accept control commands on a Unix stream socket at SOCKET\n"
    "  --tcp [ADDR:]PORT also serve the reader over TCP (ADDR 127.0.0.1 unless given)\n"
    "  --udp ADDR        network module on UDP port 30718 at ADDR (0.0.0.0 hears broadcasts)\n"
    "  --net-record LIST the module's settings: ip=A.B.C.D|dhcp,bits=N,gw=A.B.C.D,port=N,\n"
    "                    name=TEXT,mac=HEX12,tag=TEXT,model=TEXT\n"
    "  --panel           show a window with the field, to place chips and feed series;\n"
    "                    closing it ends the program\n"
    "  --help            show this text\n"
    "Control commands are read from standard input too, one per line; 'help' lists them.\n"
    "End of input ends the program unless a control socket or the panel is open.\n";

struct Options {
    std::string version;
    std::string serial;
    std::string timing;
    std::string link;
    std::string control;
    std::string tcp;
    std::string udp;
    std::string netRecord;
    std::string name = "Virtual reader";
    bool named = false;
    std::string chipSeries;
    bool panel = false;
    bool help = false;
};

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--panel") {
            if (hasValue) {
                error = "option --panel takes no value";
                return false;
            }
            options.panel = true;
            continue;
        }
        std::string* target = arg == "--version"      ? &options.version
                              : arg == "--serial"     ? &options.serial
                              : arg == "--timing"     ? &options.timing
                              : arg == "--link"       ? &options.link
                              : arg == "--control"    ? &options.control
                              : arg == "--tcp"        ? &options.tcp
                              : arg == "--udp"        ? &options.udp
                              : arg == "--net-record" ? &options.netRecord
                              : arg == "--name"       ? &options.name
                              : arg == "--chip-series" ? &options.chipSeries
                                                       : nullptr;
        if (target == nullptr) {
            error = "unknown option " + arg;
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (value.empty()) {
            error = "option " + arg + " needs a value";
            return false;
        }
        *target = value;
        if (target == &options.name) options.named = true;
    }
    return true;
}

// The series of the reader's chip identifications (see --chip-series); 0 when the text is no
// series.
uint32_t ChipSeries(const Options& options) {
    if (!options.chipSeries.empty()) {
        const std::string& text = options.chipSeries;
        if (text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
        const unsigned long series = std::stoul(text);
        return series <= vsim::kChipIdSeriesLast ? static_cast<uint32_t>(series) : 0;
    }
    if (options.named) return vsim::ChipIdSeriesOfName(options.name);
    std::random_device device;
    return 1 + device() % vsim::kChipIdSeriesLast;
}

bool WriteText(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = fd == STDOUT_FILENO
                              ? write(fd, text.data() + done, text.size() - done)
                              : send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// One source of control lines and where its responses go.
struct Channel {
    int inFd = -1;
    int outFd = -1;
    std::string pending;
};

// Runs every complete line of the channel; false when the responses cannot be written.
bool RunLines(Channel& channel, vsim::ControlProtocol& control) {
    size_t newline;
    while ((newline = channel.pending.find('\n')) != std::string::npos) {
        std::string line = channel.pending.substr(0, newline);
        channel.pending.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!WriteText(channel.outFd, control.Execute(line) + "\n")) return false;
    }
    if (channel.pending.size() > kMaxPendingLine) {
        channel.pending.clear();
        return WriteText(channel.outFd, "ERR line too long\n");
    }
    return true;
}

// Reads what the channel has; false on end of input or an error.
bool ReadChannel(Channel& channel, vsim::ControlProtocol& control) {
    char buffer[1024];
    const ssize_t n = read(channel.inFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return true;
    if (n <= 0) return false;
    channel.pending.append(buffer, static_cast<size_t>(n));
    return RunLines(channel, control);
}

int OpenControlSocket(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "vel-reader-sim: control socket path too long: %s\n", path.c_str());
        return -1;
    }
    // A socket left behind by an earlier run is replaced; any other file is not touched.
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) unlink(path.c_str());
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 8) != 0) {
        std::fprintf(stderr, "vel-reader-sim: cannot listen on %s: %s\n", path.c_str(),
                     std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

// What the command loop listens to and when it ends.
struct LoopSetup {
    int signalFd = -1;
    int listenFd = -1;
    int stopFd = -1;           // readable: end now; -1 = none
    bool endWithInput = true;  // end of standard input ends it when no control socket is open
};

void RunControlLoop(vsim::ControlProtocol& control, const LoopSetup& setup) {
    Channel input{STDIN_FILENO, STDOUT_FILENO, {}};
    bool inputOpen = true;
    std::vector<Channel> clients;
    constexpr size_t kFirstClient = 4;
    while (!control.QuitRequested()) {
        std::vector<pollfd> fds{{setup.signalFd, POLLIN, 0},
                                {setup.stopFd, POLLIN, 0},
                                {inputOpen ? STDIN_FILENO : -1, POLLIN, 0},
                                {setup.listenFd, POLLIN, 0}};
        for (const Channel& client : clients) fds.push_back({client.inFd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0 || fds[1].revents != 0) break;
        if (fds[2].revents != 0 && !ReadChannel(input, control)) {
            inputOpen = false;
            if (setup.endWithInput && setup.listenFd < 0) break;
        }
        if (fds[3].revents != 0) {
            const int fd = accept4(setup.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients.push_back({fd, fd, {}});
        }
        for (size_t i = 0; i < clients.size(); ++i) {
            // Clients accepted in this round have no entry in fds yet.
            if (kFirstClient + i >= fds.size() || fds[kFirstClient + i].revents == 0) continue;
            if (!ReadChannel(clients[i], control)) {
                close(clients[i].inFd);
                clients[i].inFd = -1;
            }
        }
        std::erase_if(clients, [](const Channel& client) { return client.inFd < 0; });
    }
    for (const Channel& client : clients) close(client.inFd);
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char directory[4096];
    if (getcwd(directory, sizeof directory) == nullptr) return path;
    return std::string(directory) + "/" + path;
}

void Signal(int eventFd) {
    const uint64_t one = 1;
    while (write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "vel-reader-sim: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const uint32_t chipSeries = ChipSeries(options);
    if (chipSeries == 0) {
        std::fprintf(stderr, "vel-reader-sim: --chip-series takes a number from 1 to %u\n%s",
                     vsim::kChipIdSeriesLast, kUsage);
        return 2;
    }
    vsim::StartChipIdSeries(chipSeries);

    vsim::VirtualReader reader;
    vsim::ControlProtocol control(reader.Engine());
    for (const std::string& line : {options.version.empty() ? "" : "version " + options.version,
                                    options.serial.empty() ? "" : "serial " + options.serial,
                                    options.timing.empty() ? "" : "timing " + options.timing}) {
        if (line.empty()) continue;
        const std::string response = control.Execute(line);
        if (response.rfind("OK", 0) != 0) {
            std::fprintf(stderr, "vel-reader-sim: %s\n", response.c_str());
            return 2;
        }
    }

    // Signals arrive through a descriptor, so the loop below ends cleanly; the mask is set
    // before any thread starts so that every thread inherits it.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    int listenFd = -1;
    if (!options.control.empty()) {
        listenFd = OpenControlSocket(options.control);
        if (listenFd < 0) return 1;
    }
    if (signalFd < 0 || !reader.Start(options.link)) {
        std::fprintf(stderr, "vel-reader-sim: cannot open the pseudo-terminal%s%s\n",
                     options.link.empty() ? "" : " or make the link ", options.link.c_str());
        if (listenFd >= 0) unlink(options.control.c_str());
        return 1;
    }
    vsim::NetworkFronts network(reader.Engine());
    if (!network.Start(options.tcp, options.udp, options.netRecord, error)) {
        std::fprintf(stderr, "vel-reader-sim: %s\n", error.c_str());
        if (listenFd >= 0) unlink(options.control.c_str());
        return 1;
    }
    network.AddCommands(control);
    WriteText(STDOUT_FILENO, reader.Path() + "\n");
    // The link outlives a restart of the reader, the terminal's number does not.
    vsim::ReaderAnnouncement announcement;
    if (!announcement.Announce(AbsolutePath(options.link.empty() ? reader.Path() : options.link),
                               options.name))
        std::fprintf(stderr, "vel-reader-sim: cannot announce the reader in %s\n",
                     vsim::AnnouncementFolder().c_str());

    if (options.panel) {
        // Each side tells the other that it has ended: the loop when it was told to quit or
        // got a signal, the window when it was closed.
        const int loopEnded = eventfd(0, EFD_CLOEXEC);
        const int panelClosed = eventfd(0, EFD_CLOEXEC);
        if (loopEnded < 0 || panelClosed < 0) {
            std::fprintf(stderr, "vel-reader-sim: %s\n", std::strerror(errno));
            return 1;
        }
        std::thread loopThread([&] {
            RunControlLoop(control, {signalFd, listenFd, panelClosed, false});
            Signal(loopEnded);
        });
        vsim::RunPanel(argc, argv, reader.Engine(), control.Feeder(), reader.Path(), loopEnded);
        Signal(panelClosed);
        loopThread.join();
        close(loopEnded);
        close(panelClosed);
    } else {
        RunControlLoop(control, {signalFd, listenFd, -1, true});
    }

    control.Feeder().Stop();
    reader.Stop();
    if (listenFd >= 0) {
        close(listenFd);
        unlink(options.control.c_str());
    }
    close(signalFd);
    return 0;
}
