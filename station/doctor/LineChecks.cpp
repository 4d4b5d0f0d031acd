#include "station/doctor/LineChecks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "vellf.h"

namespace station {

namespace {

DoctorLine Line(const char* check, Verdict verdict, const std::string& subject,
                std::string finding, std::string fix = {}) {
    return {check, verdict, subject, std::move(finding), std::move(fix)};
}

bool IsPath(const std::string& port) {
    return !port.empty() && port.front() == '/';
}

std::string ProcessText(const CSystemRoot& root, int pid) {
    std::string name;
    root.ReadText("/proc/" + std::to_string(pid) + "/comm", name);
    return "process " + std::to_string(pid) + (name.empty() ? "" : " (" + name + ")");
}

// The version request through a fresh open at one rate: the answer's text, or "" with the
// open's result in result.
std::string AskVersion(const LineCheckRequest& request, int baud, int& result) {
    result = LfOpenPort(request.port.c_str(), baud, 0, request.timeoutMs);
    if (result <= 0) return {};
    std::array<unsigned char, 64> reply{};
    std::array<char, 64> model{};
    const int count = LfGetVersion(result, reply.data(), static_cast<int>(reply.size()),
                                   model.data(), static_cast<int>(model.size()));
    LfClosePort(result);
    if (count < 0) {
        result = LF_OPEN_NO_ANSWER;
        return {};
    }
    const std::string modelText(model.data(), strnlen(model.data(), model.size()));
    const std::string version(reinterpret_cast<const char*>(reply.data()),
                              strnlen(reinterpret_cast<const char*>(reply.data()),
                                      static_cast<size_t>(count)));
    return (modelText.empty() ? "reader" : modelText) + ", version " + version;
}

// Open for reading and writing as the SDK does, to tell a missing, forbidden or held line
// from one that opens; the line is closed again at once.
bool CheckOpen(const CSystemRoot& root, const std::string& port, DoctorLines& lines) {
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            lines.push_back(Line("line-open", Verdict::Problem, port, "no such line",
                                 "lfprog list (it names the lines the system has)"));
        } else if (error == EACCES || error == EPERM) {
            lines.push_back(Line("line-open", Verdict::Problem, port,
                                 "no permission to open the line (see the access lines)",
                                 "sudo usermod -aG dialout " + UserIdentity::Current().name +
                                     " (then log in again)"));
        } else if (error == EBUSY) {
            lines.push_back(Line("line-open", Verdict::Problem, port,
                                 "held in exclusive mode by another program",
                                 "close the other program (fuser -v " + port + " names it)"));
        } else {
            lines.push_back(Line("line-open", Verdict::Problem, port,
                                 std::string("cannot be opened: ") + std::strerror(error),
                                 "lfprog list (it names the lines the system has)"));
        }
        return false;
    }
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);  // also gives the lock up if this try got it
    if (!held) {
        lines.push_back(Line("line-open", Verdict::Ok, port, "opens"));
        return true;
    }
    const int holder = LockHolder(root, port);
    if (holder == getpid()) {
        lines.push_back(Line("line-open", Verdict::Ok, port, "this station has the line open"));
        return false;
    }
    lines.push_back(Line("line-open", Verdict::Problem, port,
                         "in use by another program" +
                             (holder > 0 ? ": " + ProcessText(root, holder) : std::string()),
                         holder > 0 ? "end it (kill " + std::to_string(holder) +
                                          "), or in the station choose another interface"
                                    : "close the other program (fuser -v " + port + " names it)"));
    return false;
}

}  // namespace

int LockHolder(const CSystemRoot& root, const std::string& device) {
    struct stat file {};
    if (stat(device.c_str(), &file) != 0) return 0;
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                  static_cast<unsigned long long>(file.st_ino));
    std::string locks;
    root.ReadText("/proc/locks", locks);
    std::istringstream lines(locks);
    for (std::string line; std::getline(lines, line);) {
        // "1: FLOCK  ADVISORY  WRITE 1234 00:19:3 0 EOF"
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        fields >> number >> kind >> mode >> access >> pid >> where;
        if (kind == "FLOCK" && where == key) return std::atoi(pid.c_str());
    }
    return 0;
}

DoctorLines CheckLine(const CSystemRoot& root, const LineCheckRequest& request) {
    DoctorLines lines;
    const std::string& port = request.port;
    if (IsPath(port) && !CheckOpen(root, port, lines)) return lines;

    int result = 0;
    const std::string answer = AskVersion(request, request.baud, result);
    const std::string atStored = " at " + std::to_string(request.baud) + " baud";
    if (!answer.empty()) {
        lines.push_back(Line("line-version", Verdict::Ok, port, "answers" + atStored + ": " + answer));
        return lines;
    }
    if (result != LF_OPEN_NO_ANSWER) {
        lines.push_back(Line("line-version", Verdict::Problem, port,
                             "cannot be opened (result " + std::to_string(result) + ")",
                             "lfprog list (it names the readers the system has)"));
        return lines;
    }
    const std::string noAnswer = "no answer to the version request" + atStored;
    constexpr char kPowerAndCable[] =
        "check the reader's power and cable, and that the line is the reader's (lfprog list)";
    if (!IsPath(port)) {  // only a serial line has a rate to search
        lines.push_back(Line("line-version", Verdict::Problem, port, noAnswer, kPowerAndCable));
        return lines;
    }
    for (const int baud : kReaderBaudRates) {
        if (baud == request.baud) continue;
        if (const std::string found = AskVersion(request, baud, result); !found.empty()) {
            const std::string rate = std::to_string(baud);
            lines.push_back(Line("line-version", Verdict::Problem, port, noAnswer,
                                 "set the baud rate to " + rate +
                                     " (station: Interface, Baudrate; lfprog: --baud " + rate + ")"));
            lines.push_back(Line("line-baud", Verdict::Ok, port, "answers at " + rate + " baud: " + found));
            return lines;
        }
    }
    lines.push_back(Line("line-version", Verdict::Problem, port, noAnswer, kPowerAndCable));
    lines.push_back(Line("line-baud", Verdict::Problem, port,
                         "no answer at any of the reader's baud rates", kPowerAndCable));
    return lines;
}

}  // namespace station
