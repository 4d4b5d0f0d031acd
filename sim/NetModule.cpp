#include "NetModule.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <sstream>

namespace vsim {

namespace {

constexpr size_t kRequestLogLimit = 10000;
constexpr size_t kMaxDatagram = 1024;
constexpr uint32_t kBroadcast = 0xFFFFFFFF;
constexpr size_t kIpSetupTagSize = 8;
constexpr size_t kIpSetupExtendedPayload = 36;
constexpr size_t kIpSetupShortPayload = 6;

std::vector<uint8_t> ReplyHeader(uint8_t code) {
    return {0x00, 0x00, 0x00, code};
}

// Datagrams that a client must not take for the reply it waits for: a different code, a
// record one byte too short, a body too short for anything, a bare header fragment.
std::vector<std::vector<uint8_t>> FloodDatagrams(size_t count) {
    std::vector<std::vector<uint8_t>> datagrams;
    for (size_t i = 0; i < count; ++i) {
        std::vector<uint8_t> datagram;
        switch (i % 4) {
            case 0:
                datagram = ReplyHeader(0x55);
                datagram.resize(4 + 200, 0xAA);
                break;
            case 1:
                datagram = ReplyHeader(0xF9);
                datagram.resize(4 + 119, 0);
                break;
            case 2:
                datagram = ReplyHeader(0xF7);
                datagram.resize(4 + 10, 0);
                break;
            default:
                datagram = {0x00, 0x00};
                break;
        }
        datagrams.push_back(std::move(datagram));
    }
    return datagrams;
}

bool ParseMac(const std::string& text, std::array<uint8_t, 6>& mac) {
    if (text.size() != 12) return false;
    for (size_t i = 0; i < 6; ++i) {
        unsigned value = 0;
        if (std::sscanf(text.substr(2 * i, 2).c_str(), "%2x", &value) != 1) return false;
        mac[i] = static_cast<uint8_t>(value);
    }
    return true;
}

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty() || text.size() > 10) return false;
    unsigned long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<unsigned long>(c - '0');
    }
    if (result > max) return false;
    value = result;
    return true;
}

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

int HostBitsOfMask(uint32_t mask) {
    int bits = 0;
    while (bits < 32 && (mask >> bits & 1) == 0) ++bits;
    return bits;
}

}  // namespace

NetModule::NetModule(TcpFront* tcp, std::string tcpAddress)
    : m_tcp(tcp), m_tcpAddress(std::move(tcpAddress)) {}

NetModule::~NetModule() {
    Stop();
}

bool NetModule::Start(const std::string& bindAddress, uint16_t port) {
    Stop();
    uint32_t address = 0;
    if (!ParseAddress(bindAddress, address)) return false;
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    m_stopEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    in.sin_addr.s_addr = htonl(address);
    const int one = 1;
    bool ok = m_socket >= 0 && m_stopEvent >= 0;
    if (ok) {
        setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        setsockopt(m_socket, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
        ok = bind(m_socket, reinterpret_cast<const sockaddr*>(&in), sizeof in) == 0;
    }
    if (!ok) {
        if (m_socket >= 0) close(m_socket);
        if (m_stopEvent >= 0) close(m_stopEvent);
        m_socket = m_stopEvent = -1;
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Activate();
        m_silentUntil = {};
    }
    m_thread = std::thread(&NetModule::Run, this);
    return true;
}

void NetModule::Stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        if (write(m_stopEvent, &one, sizeof one) < 0) {
            // Only a counter overflow fails.
        }
        m_thread.join();
    }
    if (m_socket >= 0) close(m_socket);
    if (m_stopEvent >= 0) close(m_stopEvent);
    m_socket = m_stopEvent = -1;
}

void NetModule::Activate() {
    const NetSettings settings = m_records.Settings();
    m_activeAddress = settings.address;
    m_silentUntil = std::chrono::steady_clock::now() + kRestartTime;
    if (m_tcp == nullptr) return;
    const std::string address =
        settings.address != 0 ? AddressText(settings.address) : m_tcpAddress;
    if (m_tcp->Running() && m_tcp->Address() == address && m_tcp->Port() == settings.tcpPort) {
        return;
    }
    if (!m_tcp->Start(address, settings.tcpPort)) {
        std::fprintf(stderr, "vel-reader-sim: cannot listen on %s:%u\n", address.c_str(),
                     settings.tcpPort);
    }
}

bool NetModule::Configure(const std::string& text, std::string& error) {
    std::lock_guard<std::mutex> guard(m_lock);
    NetSettings settings = m_records.Settings();
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        const size_t eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        unsigned long number = 0;
        std::array<uint8_t, 6> mac{};
        if (key == "ip" && value == "dhcp") {
            settings.address = 0;
        } else if (key == "ip" && ParseAddress(value, settings.address)) {
        } else if (key == "gw" && ParseAddress(value, settings.gateway)) {
        } else if (key == "bits" && ParseNumber(value, 32, number)) {
            settings.hostBits = static_cast<int>(number);
        } else if (key == "port" && ParseNumber(value, 65535, number) && number > 0) {
            settings.tcpPort = static_cast<uint16_t>(number);
        } else if (key == "name" && value.size() <= 16) {
            settings.name = value;
        } else if (key == "mac" && ParseMac(value, mac)) {
            m_records.SetMac(mac);
        } else if (key == "tag" && value.size() <= 3) {
            m_records.SetTag(value);
        } else if (key == "model" && value.size() <= 64) {
            m_records.SetModel(value);
        } else {
            error = "bad setting '" + item + "'";
            return false;
        }
    }
    m_records.SetSettings(settings);
    if (m_socket >= 0) {
        Activate();
        m_silentUntil = {};  // a setting from outside is no restart
    }
    return true;
}

std::string NetModule::Describe() const {
    std::lock_guard<std::mutex> guard(m_lock);
    const NetSettings settings = m_records.Settings();
    std::string mac;
    char hex[3];
    for (uint8_t byte : m_records.Mac()) {
        std::snprintf(hex, sizeof hex, "%02X", byte);
        mac += hex;
    }
    return "ip=" + (settings.address == 0 ? std::string("dhcp") : AddressText(settings.address)) +
           " bits=" + std::to_string(settings.hostBits) + " gw=" + AddressText(settings.gateway) +
           " port=" + std::to_string(settings.tcpPort) + " name=" + settings.name +
           " name-copy=" + m_records.NameCopy() + " mac=" + mac + " tag=" + m_records.Tag() +
           " model=" + m_records.Model();
}

void NetModule::SetSilent(bool on) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_silent = on;
}

void NetModule::SetInfoAnswered(bool on) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_infoAnswered = on;
}

void NetModule::SetReplyLength(size_t n, std::optional<size_t> length) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (length) {
        m_replyLength[n] = *length;
    } else {
        m_replyLength.erase(n);
    }
}

void NetModule::SetFlood(size_t count) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_flood = count;
}

void NetModule::SetGarbage(std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_garbage = std::move(bytes);
}

std::vector<uint8_t> NetModule::Requests() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

void NetModule::ClearRequests() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_requests.clear();
}

void NetModule::Run() {
    std::array<uint8_t, kMaxDatagram> buffer{};
    for (;;) {
        std::array<pollfd, 2> fds{{{m_stopEvent, POLLIN, 0}, {m_socket, POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        sockaddr_in from{};
        iovec io{buffer.data(), buffer.size()};
        alignas(cmsghdr) std::array<uint8_t, CMSG_SPACE(sizeof(in_pktinfo))> control{};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t n = recvmsg(m_socket, &message, MSG_DONTWAIT);
        if (n < 0) continue;
        uint32_t destination = kBroadcast;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                destination = ntohl(info.ipi_addr.s_addr);
            }
        }
        Handle(buffer.data(), static_cast<size_t>(n), ntohl(from.sin_addr.s_addr),
               ntohs(from.sin_port), destination);
    }
}

std::vector<uint8_t> NetModule::Cut(size_t n, const std::vector<uint8_t>& record) const {
    const auto it = m_replyLength.find(n);
    if (it == m_replyLength.end()) return record;
    std::vector<uint8_t> cut = record;
    cut.resize(it->second, 0);
    return cut;
}

void NetModule::Handle(const uint8_t* data, size_t size, uint32_t sender, uint16_t senderPort,
                       uint32_t destination) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (size < 4 || m_silent || std::chrono::steady_clock::now() < m_silentUntil) return;
    // A module with a fixed address hears only its own address and broadcasts.
    if (m_activeAddress != 0 && destination != m_activeAddress && destination != kBroadcast) {
        return;
    }
    const uint8_t code = data[3];
    if (m_requests.size() < kRequestLogLimit) m_requests.push_back(code);
    const std::vector<uint8_t> body(data + 4, data + size);
    if (code == 0xF8) {
        Reply(sender, senderPort, 0xF9, Cut(0, m_records.Record(0)));
    } else if (code > 0xE0 && code <= 0xEF) {
        const size_t n = code - 0xE0;
        Reply(sender, senderPort, static_cast<uint8_t>(0xD0 + n), Cut(n, m_records.Record(n)));
    } else if (code == 0xFD) {
        if (m_records.StoreRecord(0, body)) Reply(sender, senderPort, 0xFB, {});
    } else if (code > 0xC0 && code <= 0xCF) {
        const size_t n = code - 0xC0;
        if (m_records.StoreRecord(n, body)) {
            Reply(sender, senderPort, static_cast<uint8_t>(0xB0 + n), {});
        }
    } else if (code == 0xF6) {
        if (m_infoAnswered) Reply(sender, senderPort, 0xF7, m_records.ModuleInfo());
    } else if (code == 0xFC) {
        HandleIpSetup(data + 4, size - 4);
    } else if (code == 0x03 && body.size() >= 2 && body[0] == 'X' && body[1] == '3') {
        Activate();
    }
}

void NetModule::HandleIpSetup(const uint8_t* data, size_t size) {
    if (size < kIpSetupTagSize + 2 || std::memcmp(data, "IP-SETUP", kIpSetupTagSize) != 0) return;
    const bool extended = data[8] == 'E' && data[9] == 'X';
    const uint8_t* payload = data + kIpSetupTagSize + 2;
    const size_t length = size - kIpSetupTagSize - 2;
    const std::array<uint8_t, 6> mac = m_records.Mac();
    NetSettings settings = m_records.Settings();
    if (extended) {
        if (length < kIpSetupExtendedPayload || std::memcmp(payload, mac.data(), 6) != 0) return;
        settings.address = Read32(payload + 6);
        settings.tcpPort = static_cast<uint16_t>(payload[10] | payload[11] << 8);
        settings.hostBits = HostBitsOfMask(Read32(payload + 12));
        settings.gateway = Read32(payload + 16);
        const char* name = reinterpret_cast<const char*>(payload + 20);
        settings.name.assign(name, strnlen(name, 16));
    } else {
        if (length < kIpSetupShortPayload || payload[0] != mac[4] || payload[1] != mac[5]) return;
        settings.address = Read32(payload + 2);
    }
    m_records.SetSettings(settings);
    Activate();
}

void NetModule::Reply(uint32_t to, uint16_t port, uint8_t code, const std::vector<uint8_t>& body) {
    if (!m_garbage.empty()) SendRaw(to, port, m_garbage);
    for (const std::vector<uint8_t>& datagram : FloodDatagrams(m_flood))
        SendRaw(to, port, datagram);
    std::vector<uint8_t> datagram = ReplyHeader(code);
    datagram.insert(datagram.end(), body.begin(), body.end());
    SendRaw(to, port, datagram);
}

void NetModule::SendRaw(uint32_t to, uint16_t port, const std::vector<uint8_t>& datagram) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(to);
    iovec io{const_cast<uint8_t*>(datagram.data()), datagram.size()};
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    alignas(cmsghdr) std::array<uint8_t, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    if (m_activeAddress != 0) {
        // Answer from the record's address, whichever address the request went to.
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = htonl(m_activeAddress);
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    if (sendmsg(m_socket, &message, MSG_NOSIGNAL) < 0 && m_activeAddress != 0) {
        // The host does not own the record's address: answer from wherever the system says.
        message.msg_control = nullptr;
        message.msg_controllen = 0;
        sendmsg(m_socket, &message, MSG_NOSIGNAL);
    }
}

}  // namespace vsim
