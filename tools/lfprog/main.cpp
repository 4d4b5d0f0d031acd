// lfprog: a small command-line front of the reader SDK, for installers and for scripts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vellf.h"

namespace {

void PrintUsage() {
    std::puts(
        "usage: lfprog --port NAME [--baud N] [--timeout MS] COMMAND\n"
        "commands:\n"
        "  info   open the reader and show its model, version reply and SDK version\n"
        "NAME is a serial line (/dev/ttyUSB0, COM3, optionally NAME:ADDRESS).");
}

int Info(const std::string& port, int baud, int timeoutMs) {
    const int handle = LfOpenPort(port.c_str(), baud, 0, timeoutMs);
    if (handle <= 0) {
        std::fprintf(stderr, "lfprog: cannot open %s (result %d)\n", port.c_str(), handle);
        return 1;
    }
    unsigned char reply[64];
    char model[64] = "";
    const int count = LfGetVersion(handle, reply, sizeof reply, model, sizeof model);
    if (count < 0) {
        std::fprintf(stderr, "lfprog: version request failed (error %d)\n",
                     LfGetLastError(handle));
        LfClosePort(handle);
        return 1;
    }
    std::printf("port:    %s (handle %d)\n", port.c_str(), handle);
    std::printf("model:   %s\n", model);
    std::printf("version: %.*s\n", count, reinterpret_cast<const char*>(reply));
    std::printf("sdk:     %d.%02d\n", LfGetSdkVersion() / 100, LfGetSdkVersion() % 100);
    LfClosePort(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string port;
    std::string command;
    int baud = 115200;
    int timeoutMs = 500;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            port = argv[++i];
        } else if (arg == "--baud" && hasValue) {
            baud = std::atoi(argv[++i]);
        } else if (arg == "--timeout" && hasValue) {
            timeoutMs = std::atoi(argv[++i]);
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return 0;
        } else if (command.empty() && arg[0] != '-') {
            command = arg;
        } else {
            std::fprintf(stderr, "lfprog: unexpected argument '%s'\n", arg.c_str());
            PrintUsage();
            return 2;
        }
    }
    if (command != "info" || port.empty()) {
        PrintUsage();
        return 2;
    }
    return Info(port, baud, timeoutMs);
}
