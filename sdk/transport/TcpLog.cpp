#include "transport/TcpLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace vellf {

namespace {

// Never destroyed: ports closed at process exit, after other statics are gone, still use it.
std::mutex& LogLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

std::string& LogPath() {
    static auto* path = new std::string();
    return *path;
}

}  // namespace

void SetSocketLogPath(const std::string& path) {
    std::lock_guard<std::mutex> guard(LogLock());
    LogPath() = path;
}

void SocketLog(const std::string& host, const char* format, ...) {
    std::lock_guard<std::mutex> guard(LogLock());
    if (LogPath().empty()) return;
    FILE* file = std::fopen(LogPath().c_str(), "a");
    if (file == nullptr) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "[%H:%M:%S] ", &local);
    std::fputs(stamp, file);
    std::fputs(host.c_str(), file);
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fclose(file);
}

const char* CloseCodeText(int code) {
    switch (code) {
        case 0:
            return "The function exited successfully.";
        case ENETDOWN:
            return "WSAENETDOWN The Windows Sockets implementation detected that the network "
                   "subsystem failed.";
        case ECONNABORTED:
            return "WSAECONNABORTED The connection was aborted due to timeout or other failure.";
        case ECONNRESET:
            return "WSAECONNRESET The connection was reset by the remote side.";
        default:
            return "Unknown error.";
    }
}

}  // namespace vellf
