#include "transport/Adapter.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <set>

namespace vellf {

namespace {

// Never destroyed: ports closed at process exit, after other statics are gone, still use it.
std::mutex& OverrideLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

std::optional<std::vector<CAdapter>>& Override() {
    static auto* adapters = new std::optional<std::vector<CAdapter>>();
    return *adapters;
}

std::string SockaddrText(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) return {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    return Ipv4Text(ntohl(in->sin_addr.s_addr));
}

// Interfaces whose hardware type is Ethernet; veth, bridges and Wi-Fi report it too.
std::set<std::string> EthernetInterfaces(const ifaddrs* list) {
    std::set<std::string> names;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_hatype == ARPHRD_ETHER) names.insert(entry->ifa_name);
    }
    return names;
}

}  // namespace

std::optional<uint32_t> ParseIpv4(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

std::string Ipv4Text(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

void SetAdapterOverride(std::optional<std::vector<CAdapter>> adapters) {
    std::lock_guard<std::mutex> guard(OverrideLock());
    Override() = std::move(adapters);
}

std::vector<CAdapter> SystemAdapters() {
    {
        std::lock_guard<std::mutex> guard(OverrideLock());
        if (Override()) return *Override();
    }
    std::vector<CAdapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return adapters;
    const std::set<std::string> ethernet = EthernetInterfaces(list);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        if (ethernet.count(entry->ifa_name) == 0) continue;
        CAdapter adapter{SockaddrText(entry->ifa_addr), SockaddrText(entry->ifa_netmask),
                         static_cast<int>(if_nametoindex(entry->ifa_name))};
        if (adapter.address.empty() || adapter.address == "0.0.0.0") continue;
        adapters.push_back(std::move(adapter));
    }
    freeifaddrs(list);
    return adapters;
}

int BestInterfaceIndex(const std::string& host) {
    const std::optional<uint32_t> remote = ParseIpv4(host);
    if (!remote) return -1;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);  // any port: a datagram connect only picks the route
    to.sin_addr.s_addr = htonl(*remote);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    const bool routed = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
    close(fd);
    if (!routed) return -1;

    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return -1;
    int index = -1;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (in->sin_addr.s_addr == local.sin_addr.s_addr) {
            index = static_cast<int>(if_nametoindex(entry->ifa_name));
            break;
        }
    }
    freeifaddrs(list);
    return index;
}

bool SameSubnet(const CAdapter& adapter, const std::string& host) {
    const std::optional<uint32_t> address = ParseIpv4(adapter.address);
    const std::optional<uint32_t> mask = ParseIpv4(adapter.mask);
    const std::optional<uint32_t> remote = ParseIpv4(host);
    if (!address || !mask || !remote) return false;
    return (*address & *mask) == (*mask & *remote);
}

}  // namespace vellf
