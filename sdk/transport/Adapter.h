// Local network adapters as the network transport sees them: IPv4 addresses of interfaces
// that are up, not loopback and of link type Ethernet (Wi-Fi included), and the kernel's
// choice of interface towards a host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellf {

// One usable address of a local adapter. A default element holds empty texts and index -1.
struct CAdapter {
    std::string address;  // dotted IPv4
    std::string mask;     // dotted subnet mask
    int index = -1;       // interface index

    bool operator==(const CAdapter&) const = default;
};

// The usable adapters of this host, in the order the system lists them.
std::vector<CAdapter> SystemAdapters();

// Internal setter for tests: with a list, SystemAdapters answers it instead of asking the
// system (for example the loopback interface alone); std::nullopt returns to the system's list.
void SetAdapterOverride(std::optional<std::vector<CAdapter>> adapters);

// The index of the interface whose address the kernel would send from towards host (asked
// with a connected datagram socket, which sends nothing); -1 when there is no route.
int BestInterfaceIndex(const std::string& host);

// (adapter address AND mask) == (mask AND host), as 32-bit IPv4 values.
bool SameSubnet(const CAdapter& adapter, const std::string& host);

// Dotted IPv4 text <-> host-order value.
std::optional<uint32_t> ParseIpv4(const std::string& text);
std::string Ipv4Text(uint32_t address);

}  // namespace vellf
