#include "station/doctor/NetworkChecks.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <arpa/inet.h>

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <vector>

#include "vellf.h"

namespace station {

namespace {

constexpr int kFirewallReadMs = 3000;
constexpr int kLanListSize = 16 * 1024;
constexpr char kArpEthernet[] = "1";

DoctorLine Line(const char* check, Verdict verdict, std::string subject, std::string finding,
                std::string fix = {}) {
    return {check, verdict, std::move(subject), std::move(finding), std::move(fix)};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The port as a whole word: 30718 but not 307180.
bool NamesPort(const std::string& line) {
    const std::string port = std::to_string(kLanSearchPort);
    for (size_t at = line.find(port); at != std::string::npos; at = line.find(port, at + 1)) {
        const bool before = at == 0 || !std::isdigit(static_cast<unsigned char>(line[at - 1]));
        const size_t end = at + port.size();
        const bool after = end == line.size() || !std::isdigit(static_cast<unsigned char>(line[end]));
        if (before && after) return true;
    }
    return false;
}

bool Drops(const std::string& line) {
    return Contains(line, " drop") || Contains(line, " reject") || Contains(line, "-j drop") ||
           Contains(line, "-j reject");
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The program's output; none when it is missing, fails (not root) or hangs.
std::optional<std::string> RunReader(const QString& program, const QStringList& arguments) {
    const QString path =
        QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    if (path.isEmpty()) return std::nullopt;
    QProcess process;
    process.start(path, arguments, QIODevice::ReadOnly);
    if (!process.waitForFinished(kFirewallReadMs)) {
        process.kill();
        process.waitForFinished(kFirewallReadMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput().toStdString();
}

}  // namespace

DoctorLine CheckLanAdapters(const CSystemRoot& root) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return Line("lan-adapters", Verdict::CannotTell, "network adapters",
                    "the adapters cannot be listed");
    std::vector<std::string> adapters;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        // The search uses Ethernet links (Wi-Fi counts as one), as the SDK does.
        std::string type;
        if (root.ReadText(std::string("/sys/class/net/") + entry->ifa_name + "/type", type) &&
            type != kArpEthernet)
            continue;
        char address[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr,
                  address, sizeof address);
        adapters.push_back(std::string(entry->ifa_name) + " " + address);
    }
    freeifaddrs(list);
    if (adapters.empty())
        return Line("lan-adapters", Verdict::Problem, "network adapters",
                    "no adapter is up with an IPv4 address: the search has nowhere to broadcast",
                    "connect the network (nmcli device connect NAME, or ip link set NAME up)");
    std::string text;
    for (const std::string& adapter : adapters) text += (text.empty() ? "" : ", ") + adapter;
    return Line("lan-adapters", Verdict::Ok, "network adapters", "the search broadcasts on " + text);
}

DoctorLine CheckLanReply() {
    std::vector<char> buffer(kLanListSize);
    const int used = LfFindLanReaders(buffer.data(), static_cast<int>(buffer.size()));
    std::vector<std::string> readers;
    for (int at = 0; at < used && buffer[static_cast<size_t>(at)] != '\0';) {
        std::string entry(&buffer[static_cast<size_t>(at)]);
        at += static_cast<int>(entry.size()) + 1;
        readers.push_back(std::move(entry));
    }
    if (readers.empty())
        return Line("lan-reply", Verdict::Problem, "network search",
                    "no network reader answered the search",
                    "check the reader's power and cable and that it is in this network segment "
                    "(a router does not pass the search); see the firewall line");
    std::string text;
    for (const std::string& reader : readers) text += (text.empty() ? "" : ", ") + reader;
    return Line("lan-reply", Verdict::Ok, "network search", "answered: " + text);
}

DoctorLine JudgeFirewall(const std::optional<std::string>& ruleset, const std::string& source) {
    const std::string port = std::to_string(kLanSearchPort);
    if (!ruleset)
        return Line("firewall", Verdict::CannotTell, "firewall", "the rules cannot be read: " + source,
                    "sudo lfprog doctor --lan (reading the rules needs root)");
    const bool iptables = source.rfind("iptables", 0) == 0;
    bool inInput = false;      // nft: inside a chain hooked on input
    bool dropPolicy = false;   // the input chain drops what no rule accepts
    bool accepted = false;     // a rule accepts the search's datagrams
    std::istringstream lines(*ruleset);
    for (std::string raw; std::getline(lines, raw);) {
        const std::string line = Lower(Trimmed(raw));
        if (iptables) {
            if (line.rfind(":input drop", 0) == 0) dropPolicy = true;
            const bool input = line.rfind("-a input ", 0) == 0;
            if (input && Contains(line, "-p udp") && NamesPort(line)) {
                if (Drops(line))
                    return Line("firewall", Verdict::Problem, "firewall",
                                "a rule drops the network search's datagrams: " + Trimmed(raw),
                                "sudo iptables -I INPUT -p udp --sport " + port + " -j ACCEPT");
                if (Contains(line, "-j accept")) accepted = true;
            }
            continue;
        }
        if (Contains(line, "chain ")) inInput = false;
        if (Contains(line, "hook input")) {
            inInput = true;
            if (Contains(line, "policy drop")) dropPolicy = true;
        }
        if (Contains(line, "udp") && NamesPort(line)) {
            if (Drops(line) && (inInput || Contains(line, "sport")))
                return Line("firewall", Verdict::Problem, "firewall",
                            "a rule drops the network search's datagrams: " + Trimmed(raw),
                            "sudo nft insert rule inet filter input udp sport " + port + " accept");
            if (inInput && Contains(line, " accept")) accepted = true;
        }
    }
    if (dropPolicy && !accepted)
        return Line("firewall", Verdict::Problem, "firewall",
                    "incoming datagrams are dropped unless a rule accepts them, and none accepts "
                    "the readers' answers from UDP port " + port,
                    iptables ? "sudo iptables -I INPUT -p udp --sport " + port + " -j ACCEPT"
                             : "sudo nft insert rule inet filter input udp sport " + port + " accept");
    return Line("firewall", Verdict::Ok, "firewall",
                "no rule drops UDP port " + port + " (read from " + source + ")");
}

DoctorLine CheckFirewall() {
    if (const auto text = RunReader(QStringLiteral("nft"), {"list", "ruleset"}))
        return JudgeFirewall(text, "nft list ruleset");
    if (const auto text = RunReader(QStringLiteral("iptables-save"), {}))
        return JudgeFirewall(text, "iptables-save");
    return JudgeFirewall(std::nullopt,
                         "nft and iptables-save are missing or refuse (they need root)");
}

}  // namespace station
