// The network that run-netns-tests builds, as the tests see it from the station namespace:
// three station adapters (st1 10.99.1.1 and st3 10.99.1.9 on one segment, st2 10.99.2.1 on
// another) and three simulated readers, each answering control commands on a Unix socket in
// the directory named by VLF_LAN_DIR. Keep in step with the script.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace lantest {

constexpr int kAdapters = 3;

struct Module {
    const char* control;   // socket file in VLF_LAN_DIR
    const char* baseline;  // settings restored before every test
};

// Reader A: fixed address on segment 1 (its host also owns 10.99.1.20 for address changes).
inline const Module kReaderA{"a.ctl",
                             "ip=10.99.1.2,bits=8,gw=10.99.1.254,port=10001,name=LAGER-A,"
                             "mac=00204A0000A1,tag=QOR,model=VEL-LAN2430"};
// Reader B: fixed address on segment 2.
inline const Module kReaderB{"b.ctl",
                             "ip=10.99.2.2,bits=8,gw=10.99.2.254,port=10001,name=LAGER-B,"
                             "mac=00204A0000B2,tag=QOR,model=Vel-LAN2530"};
// Reader C: DHCP on segment 1 (its host has 10.99.1.3), named HALLE-1.
inline const Module kReaderC{"c.ctl",
                             "ip=dhcp,bits=8,gw=0.0.0.0,port=10001,name=HALLE-1,"
                             "mac=00204A0000C3,tag=QOR,model=VEL-LAN2430"};

// Sends one control line to a module and returns its response line.
inline std::string Control(const Module& module, const std::string& line) {
    const char* dir = std::getenv("VLF_LAN_DIR");
    if (dir == nullptr) return "ERR VLF_LAN_DIR not set";
    const std::string path = std::string(dir) + "/" + module.control;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "ERR socket";
    std::string response;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string text = line + "\n";
        if (write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
            char c = 0;
            while (read(fd, &c, 1) == 1 && c != '\n') response += c;
        }
    }
    close(fd);
    return response.empty() ? "ERR no response from " + path : response;
}

inline void ExpectOk(const Module& module, const std::string& line) {
    const std::string response = Control(module, line);
    EXPECT_EQ(response.rfind("OK", 0), 0u) << line << " -> " << response;
}

// The module's request list once it holds `part`, or as it stands after a second: the last
// datagram of a call (the apply command) may still be on its way when the call returns.
inline std::string RequestsOnceSeen(const Module& module, const std::string& part) {
    std::string requests;
    for (int i = 0; i < 100; ++i) {
        requests = Control(module, "udp-requests");
        if (requests.find(part) != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return requests;
}

// Pulls a reader's cable or plugs it in again: its port on the switch (p-ra0, p-rb0, p-rc0)
// down or up. False when the switch namespace cannot be reached.
inline bool SetSwitchPort(const std::string& port, bool up) {
    const char* sw = std::getenv("VLF_LAN_SWITCH");
    if (sw == nullptr) return false;
    const std::string command =
        "ip -n '" + std::string(sw) + "' link set '" + port + "'" + (up ? " up" : " down");
    return std::system(command.c_str()) == 0;
}

// Every module back to its baseline, behaving.
inline void ResetNetwork() {
    for (const Module* module : {&kReaderA, &kReaderB, &kReaderC}) {
        for (const std::string& line :
             {"net-set " + std::string(module->baseline), std::string("udp-silent off"),
              std::string("udp-info on"), std::string("udp-flood 0"),
              std::string("udp-garbage off"), std::string("udp-length 0 off"),
              std::string("udp-length 2 off"), std::string("udp-clear")}) {
            ExpectOk(*module, line);
        }
    }
}

// The entries of a text list buffer.
inline std::vector<std::string> Entries(const char* buffer, int used) {
    std::vector<std::string> entries;
    for (int i = 0; i + 1 < used;) {
        entries.emplace_back(buffer + i);
        i += static_cast<int>(entries.back().size()) + 1;
    }
    return entries;
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace lantest
