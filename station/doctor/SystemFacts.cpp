#include "station/doctor/SystemFacts.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace station {

namespace {

constexpr uint16_t kAclUser = 0x02;
constexpr uint16_t kAclMask = 0x10;
constexpr uint16_t kAclReadWrite = 0x06;
constexpr size_t kAclHeader = 4;
constexpr size_t kAclEntry = 8;

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

uint32_t Little(const std::vector<unsigned char>& bytes, size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

}  // namespace

DeviceRules FindDeviceRules(const CSystemRoot& root) {
    // udev reads /etc, /run and the system's /usr/lib (= /lib on a merged /usr); a build
    // installed under /usr/local puts its rules where udev never looks.
    for (const char* folder : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d",
                               "/lib/udev/rules.d", "/usr/local/lib/udev/rules.d"}) {
        const std::string path = std::string(folder) + "/" + kDeviceRulesName;
        if (root.Exists(path))
            return {path, std::string(folder) != "/usr/local/lib/udev/rules.d"};
    }
    return {};
}

bool UdevRecord::HasTag(const std::string& tag) const {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

bool UdevRecord::HasProperty(const std::string& property) const {
    return std::find(properties.begin(), properties.end(), property) != properties.end();
}

UdevRecord ParseUdevRecord(const std::string& text) {
    UdevRecord record;
    record.found = true;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 2 || line[1] != ':') continue;
        const std::string value = line.substr(2);
        // G: tags the device ever had, Q: the current ones (newer udev writes both).
        if ((line[0] == 'G' || line[0] == 'Q') && !record.HasTag(value))
            record.tags.push_back(value);
        if (line[0] == 'E') record.properties.push_back(value);
    }
    return record;
}

UdevRecord ReadUdevRecord(const CSystemRoot& root, const std::string& numbers) {
    std::string text;
    if (numbers.empty() || !root.ReadText("/run/udev/data/c" + numbers, text)) return {};
    return ParseUdevRecord(text);
}

std::vector<RunningProcess> RunningProcesses(const CSystemRoot& root) {
    std::vector<RunningProcess> processes;
    for (const std::string& name : root.List("/proc")) {
        if (!AllDigits(name) || name.size() > 9) continue;
        std::string comm;
        if (!root.ReadText("/proc/" + name + "/comm", comm)) continue;  // gone meanwhile
        processes.push_back({std::stoi(name), comm});
    }
    return processes;
}

std::vector<uid_t> ParseAclUsers(const std::vector<unsigned char>& attribute) {
    std::vector<uid_t> users;
    if (attribute.size() < kAclHeader || (attribute.size() - kAclHeader) % kAclEntry != 0)
        return users;
    uint32_t mask = kAclReadWrite;
    for (size_t at = kAclHeader; at < attribute.size(); at += kAclEntry) {
        if (Little(attribute, at, 2) == kAclMask) mask = Little(attribute, at + 2, 2);
    }
    for (size_t at = kAclHeader; at < attribute.size(); at += kAclEntry) {
        const uint32_t tag = Little(attribute, at, 2);
        const uint32_t permissions = Little(attribute, at + 2, 2) & mask;
        if (tag == kAclUser && (permissions & kAclReadWrite) == kAclReadWrite)
            users.push_back(static_cast<uid_t>(Little(attribute, at + 4, 4)));
    }
    return users;
}

NodeOwnership ReadNodeOwnership(const CSystemRoot& root, const std::string& node) {
    NodeOwnership ownership;
    const std::string path = root.Path(node);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return ownership;
    ownership.exists = true;
    ownership.owner = info.st_uid;
    ownership.group = info.st_gid;
    ownership.mode = info.st_mode & 07777;
    std::vector<unsigned char> attribute(1024);
    const ssize_t size =
        getxattr(path.c_str(), "system.posix_acl_access", attribute.data(), attribute.size());
    if (size > 0) {
        attribute.resize(static_cast<size_t>(size));
        ownership.aclUsers = ParseAclUsers(attribute);
    }
    return ownership;
}

std::string OpenPermission(const NodeOwnership& node, const UserIdentity& user,
                           const std::string& groupName) {
    if (user.uid == 0) return "as root";
    if (node.owner == user.uid) return (node.mode & 0600) == 0600 ? "as its owner" : "";
    if (std::find(node.aclUsers.begin(), node.aclUsers.end(), user.uid) != node.aclUsers.end())
        return "through its access list (the uaccess rule for the local session)";
    if (user.InGroup(node.group) && (node.mode & 0060) == 0060)
        return "as a member of group " + groupName;
    if ((node.mode & 0006) == 0006) return "as anyone may";
    return "";
}

std::string GroupName(const CSystemRoot& root, gid_t group) {
    std::string text;
    if (root.ReadText("/etc/group", text)) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string name;
            std::string password;
            std::string number;
            if (std::getline(fields, name, ':') && std::getline(fields, password, ':') &&
                std::getline(fields, number, ':') && number == std::to_string(group))
                return name;
        }
    }
    return std::to_string(group);
}

}  // namespace station
