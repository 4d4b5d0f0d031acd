#include "discovery/LanProtocol.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <set>

#include "discovery/LanRecord.h"

namespace vellf::lan {

namespace {

using Clock = std::chrono::steady_clock;

enum class Verdict {
    Other,     // not the datagram the wait is for
    Accepted,  // taken; the wait goes on
    Done,      // taken; the wait is over
};

enum class Restart { OnOther, OnAccepted, Never };

// Receives for windowMs; `restart` says which datagrams start the window anew. True when a
// datagram ended the wait.
template <typename Handle>
bool AwaitDatagrams(CTCPSocket& socket, int windowMs, Restart restart, const WaitHooks& hooks,
                    Handle handle) {
    const auto window = std::chrono::milliseconds(windowMs);
    const Clock::time_point start = Clock::now();
    const Clock::time_point last = start + window * kMaxWindows;
    Clock::time_point deadline = start + window;
    for (;;) {
        hooks.Pump();
        socket.ReceiveDatagrams(1);
        uint8_t code = 0;
        std::string sender;
        std::vector<uint8_t> body;
        while (socket.PopDatagram(code, sender, body)) {
            const Verdict verdict = handle(code, sender, body);
            if (verdict == Verdict::Done) return true;
            if ((verdict == Verdict::Other && restart == Restart::OnOther) ||
                (verdict == Verdict::Accepted && restart == Restart::OnAccepted)) {
                deadline = Clock::now() + window;
            }
        }
        const Clock::time_point now = Clock::now();
        if (now > deadline || now > last) return false;
    }
}

std::string Destination(const CTCPSocket& socket, bool broadcast) {
    return broadcast || socket.m_host == CTCPSocket::kBroadcast ? CTCPSocket::kBroadcast
                                                                : socket.m_host;
}

bool ValidRecordNumber(const CTCPSocket& socket, int n) {
    return socket.m_datagramMode == 1 && n >= 0 && n <= 15;
}

// Sends the search request to everyone on the current adapter from a fresh datagram socket.
bool BroadcastSearch(CTCPSocket& socket) {
    if (!socket.CreateDatagram()) return false;
    if (!socket.SendDatagram(CTCPSocket::kBroadcast, Header(kReadNetworkRecord, 0x01))) {
        socket.CloseDatagram();
        return false;
    }
    return true;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Keeps the entry of a reader (DHCP readers by their bracketed name alone); an empty result
// drops the entry.
std::string CheckReader(CTCPSocket& socket, const std::string& entry, const WaitHooks& hooks) {
    std::string name;
    std::string address = entry;
    if (!entry.empty() && entry[0] == '[') {
        const size_t close = entry.find(']');
        if (close == std::string::npos) return {};
        name = entry.substr(0, close + 1);
        address = entry.substr(close + 1);
    }
    address.erase(std::min(address.find('-'), address.size()));
    socket.m_host = address;
    std::vector<uint8_t> record;
    if (!QueryRecord(socket, 2, record, false, hooks) || record.size() < kModelRecordMin) {
        return {};
    }
    if (Upper(ModelText(record)).rfind("VEL-", 0) != 0) return {};
    return name.empty() ? entry : name;
}

}  // namespace

bool QueryRecord(CTCPSocket& socket, int n, std::vector<uint8_t>& record, bool broadcast,
                 const WaitHooks& hooks) {
    if (!ValidRecordNumber(socket, n)) return false;
    const uint8_t request = n == 0 ? kReadNetworkRecord : static_cast<uint8_t>(kReadRecordBase + n);
    const uint8_t expected =
        n == 0 ? kNetworkRecordReply : static_cast<uint8_t>(kRecordReplyBase + n);
    if (!socket.SendDatagram(Destination(socket, broadcast), Header(request, 0x01))) return false;
    const std::string host = socket.m_host;
    return AwaitDatagrams(
        socket, kReplyWindowMs, Restart::OnOther, hooks,
        [&](uint8_t code, const std::string& sender, std::vector<uint8_t>& body) {
            if (body.size() < kNetworkRecordMin || code != expected || sender != host) {
                return Verdict::Other;
            }
            record = std::move(body);
            return Verdict::Done;
        });
}

bool WriteRecord(CTCPSocket& socket, int n, const std::vector<uint8_t>& record,
                 const WaitHooks& hooks) {
    if (!ValidRecordNumber(socket, n)) return false;
    const uint8_t request =
        n == 0 ? kWriteNetworkRecord : static_cast<uint8_t>(kWriteRecordBase + n);
    const uint8_t expected =
        n == 0 ? kWriteNetworkReply : static_cast<uint8_t>(kWriteReplyBase + n);
    std::vector<uint8_t> datagram = Header(request, n == 0 ? 0x00 : 0x01);
    datagram.insert(datagram.end(), record.begin(), record.end());
    if (!socket.SendDatagram(Destination(socket, false), datagram)) return false;
    return AwaitDatagrams(socket, kReplyWindowMs, Restart::OnOther, hooks,
                          [&](uint8_t code, const std::string&, std::vector<uint8_t>&) {
                              return code == expected ? Verdict::Done : Verdict::Other;
                          });
}

bool QueryModuleInfo(CTCPSocket& socket, std::vector<uint8_t>& info, const WaitHooks& hooks) {
    if (socket.m_datagramMode != 1) return false;
    if (!socket.SendDatagram(CTCPSocket::kBroadcast, Header(kReadModuleInfo, 0x01))) return false;
    const std::string host = socket.m_host;
    return AwaitDatagrams(
        socket, kReplyWindowMs, Restart::OnOther, hooks,
        [&](uint8_t code, const std::string& sender, std::vector<uint8_t>& body) {
            if (code != kModuleInfoReply || body.size() < kModuleInfoMin || sender != host) {
                return Verdict::Other;
            }
            info = std::move(body);
            return Verdict::Done;
        });
}

bool SendIpSetup(CTCPSocket& socket, const std::vector<uint8_t>& payload, bool extended) {
    if (socket.m_datagramMode != 1) return false;
    std::vector<uint8_t> datagram = Header(kIpSetup, 0x00);
    const std::string tag = "IP-SETUP";
    datagram.insert(datagram.end(), tag.begin(), tag.end());
    if (extended) {
        datagram.push_back('E');
        datagram.push_back('X');
    } else {
        datagram.push_back(0);
        datagram.push_back(0);
    }
    datagram.insert(datagram.end(), payload.begin(), payload.end());
    return socket.SendDatagram(CTCPSocket::kBroadcast, datagram);
}

bool SendApply(CTCPSocket& socket) {
    if (socket.m_datagramMode != 1) return false;
    std::vector<uint8_t> datagram = Header(kApply, 0x00);
    datagram.push_back('X');
    datagram.push_back('3');
    return socket.SendDatagram(Destination(socket, false), datagram);
}

void SearchAdapter(CTCPSocket& socket, std::vector<std::string>& list, int windowMs,
                   bool readersOnly, const WaitHooks& hooks) {
    if (!BroadcastSearch(socket)) return;
    std::set<std::string> found;  // std::string orders bytewise
    AwaitDatagrams(socket, windowMs, Restart::OnAccepted, hooks,
                   [&](uint8_t code, const std::string& sender, std::vector<uint8_t>& body) {
                       if (code != kNetworkRecordReply || body.size() < kNetworkRecordMin) {
                           return Verdict::Other;
                       }
                       found.insert(SearchEntry(body, sender));
                       return Verdict::Accepted;
                   });
    std::set<std::string> kept;
    for (const std::string& entry : found) {
        const std::string checked = readersOnly ? CheckReader(socket, entry, hooks) : entry;
        if (!checked.empty()) kept.insert(checked);
    }
    socket.CloseDatagram();
    kept.insert(list.begin(), list.end());
    list.assign(kept.begin(), kept.end());
}

size_t SearchAllAdapters(CTCPSocket& socket, std::vector<std::string>& list, int windowMs,
                         bool readersOnly, const WaitHooks& hooks) {
    socket.ListAdapters();
    list.clear();
    if (!socket.SelectFirstAdapter()) return 0;
    do {
        SearchAdapter(socket, list, windowMs, readersOnly, hooks);
    } while (socket.SelectNextAdapter());
    return list.size();
}

std::string ResolveDeviceName(CTCPSocket& socket, const std::string& name, int windowMs,
                              const WaitHooks& hooks) {
    if (socket.m_adapters.empty()) socket.ListAdapters();
    if (!socket.SelectFirstAdapter()) return {};
    std::string answer;
    do {
        if (!BroadcastSearch(socket)) continue;
        AwaitDatagrams(socket, windowMs, Restart::Never, hooks,
                       [&](uint8_t code, const std::string& sender, std::vector<uint8_t>& body) {
                           if (code != kNetworkRecordReply || body.size() < kNetworkRecordMin) {
                               return Verdict::Other;
                           }
                           if (OctetsText(RecordAddress(body)) == sender ||
                               "[" + RecordDeviceName(body) + "]" != name) {
                               return Verdict::Other;
                           }
                           answer = sender + "-" + std::to_string(RecordTcpPort(body));
                           return Verdict::Done;
                       });
        socket.CloseDatagram();
    } while (answer.empty() && socket.SelectNextAdapter());
    return answer;
}

}  // namespace vellf::lan
