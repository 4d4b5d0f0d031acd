#include "Reader.h"

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
#include <fstream>
#include <sstream>

#include "station/Transponder.h"
#include "vellf.h"

namespace {

constexpr int kStationBaud = 19200;
constexpr int kFallbackBaud = 9600;
constexpr int kDefaultTimeoutMs = 300;
constexpr int kOpenNoAnswer = LF_OPEN_NO_ANSWER;

std::string OpenErrorText(int result) {
    switch (result) {
        case LF_OPEN_BAD_TIMEOUT:
            return "the timeout must not be negative";
        case kOpenNoAnswer:
            return "no reader answers on the line";
        case LF_OPEN_HID_INIT_FAILED:
            return "the USB HID link cannot be set up";
        default:
            return "the reader cannot be opened (result " + std::to_string(result) + ")";
    }
}

// The process holding the lock on the device, as "process N (name)", from the kernel's list
// of file locks; empty when no lock is listed (a line held in exclusive mode has none).
std::string LockHolder(const std::string& device) {
    struct stat file {};
    if (stat(device.c_str(), &file) != 0) return {};
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%llu", major(file.st_dev), minor(file.st_dev),
                  static_cast<unsigned long long>(file.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        // "1: FLOCK  ADVISORY  WRITE 1234 00:19:3 0 EOF"
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        fields >> number >> kind >> mode >> access >> pid >> where;
        if (kind != "FLOCK" || where != key) continue;
        std::string name;
        std::getline(std::ifstream("/proc/" + pid + "/comm"), name);
        return "process " + pid + (name.empty() ? "" : " (" + name + ")");
    }
    return {};
}

std::string InUseText(const std::string& device) {
    const std::string holder = LockHolder(device);
    return "the line is in use by another program" + (holder.empty() ? "" : ": " + holder) +
           "; end it (the station: close it or choose another interface) and try again";
}

// The SDK tells only that a line did not open. For a device file a second try here finds
// why: missing, not permitted, or held by another program (its lock or exclusive mode).
std::string LineFailureText(const std::string& device) {
    if (device.empty() || device.front() != '/') return "the line cannot be opened";
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EBUSY) return InUseText(device);
        if (error == ENOENT) return "no such line";
        if (error == EACCES || error == EPERM)
            return "no permission to open the line (is the user in the line's group?)";
        return std::string("the line cannot be opened: ") + std::strerror(error);
    }
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);  // also gives up the lock if this try got it
    return locked ? InUseText(device) : "the line cannot be opened";
}

// The name of an entry as the station's interface list shows it, as the SDK opens it.
std::string OpenName(std::string name) {
    for (const char* prefix : {"USB: ", "LAN: "}) {
        if (name.rfind(prefix, 0) == 0) return name.substr(std::strlen(prefix));
    }
    return name;
}

}  // namespace

CReader::~CReader() {
    if (m_handle > 0) LfClosePort(m_handle);
}

int CReader::Open(const CCommandLine& line, const COutput& out) {
    const char* variable = std::getenv("LFPROG_PORT");
    m_port = line.Value("port").value_or(variable != nullptr ? variable : "");
    if (m_port.empty())
        return out.Fail(kExitUsage, "no reader given: use --port NAME or set LFPROG_PORT");
    long long baud = 0;
    if (const auto text = line.Value("baud"); text && !ParseInteger(*text, 1, 4000000, baud))
        return out.Fail(kExitUsage, "--baud takes a rate in bits per second");
    long long timeout = kDefaultTimeoutMs;
    if (const auto text = line.Value("timeout"); text && !ParseInteger(*text, 0, 600000, timeout))
        return out.Fail(kExitUsage, "--timeout takes milliseconds from 0 to 600000");

    const std::string name = OpenName(m_port);
    int result = LfOpenPort(name.c_str(), baud != 0 ? static_cast<int>(baud) : kStationBaud, 0,
                            static_cast<int>(timeout));
    if (result == kOpenNoAnswer && baud == 0)
        result = LfOpenPort(name.c_str(), kFallbackBaud, 0, static_cast<int>(timeout));
    if (result == LF_OPEN_FAILED)
        return out.Fail(kExitNoReader, m_port + ": " + LineFailureText(name));
    if (result <= 0) return out.Fail(kExitNoReader, m_port + ": " + OpenErrorText(result));
    m_handle = result;

    std::array<unsigned char, 64> reply{};
    std::array<char, 64> model{};
    const int count = LfGetVersion(m_handle, reply.data(), static_cast<int>(reply.size()),
                                   model.data(), static_cast<int>(model.size()));
    if (count < 0) {
        const int code = LfGetLastError(m_handle);
        return out.Fail(kExitNoReader, m_port + ": the reader does not tell its version", code);
    }
    m_model.assign(model.data(), strnlen(model.data(), model.size()));
    m_version.assign(
        reinterpret_cast<const char*>(reply.data()),
        strnlen(reinterpret_cast<const char*>(reply.data()), static_cast<size_t>(count)));
    // The mode in which the station programs transponders.
    LfSetDeviceMode(m_handle, 0);
    return kExitSuccess;
}

std::string SdkErrorText(int code) {
    switch (code) {
        case 6:
            return "no reader is connected";
        case 7:
            return "the reader does not answer in time";
        case 8:
            return "the reply is longer than expected";
        case 9:
            return "not possible with this reader or chip";
        case 10:
            return "the chip type is not supported";
        case 12:
            return "block address out of range";
        case 14:
            return "checksum or parity error";
        case 16:
            return "the reader sent an empty reply";
        case 18:
            return "invalid parameter";
        case 21:
            return "no FSK card answers";
        case 24:
            return "the reader lacks the extended command set";
        case 25:
            return "the card is not in the requested format";
        default: {
            char text[48];
            std::snprintf(text, sizeof text, "the reader reports status 0x%02X", code & 0xFF);
            return text;
        }
    }
}

ExitCode ExitCodeOfSdkError(int code) {
    return code == station::kErrTimeout || code == LF_ERROR_UNKNOWN_HANDLE ? kExitNoReader : kExitFailure;
}
