// What the doctor reads about the system around the devices: udev's record of a device, the
// package's device rules, the running processes, who may open a device node.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "station/doctor/SystemRoot.h"

namespace station {

// The package's device rules file, as packaging/udev installs it.
inline constexpr char kDeviceRulesName[] = "70-orvex-fsk-readers.rules";

struct DeviceRules {
    std::string path;      // where the file was found; empty: nowhere
    bool readByUdev = false;  // in a folder udev reads (not /usr/local/lib/udev/rules.d)
};

DeviceRules FindDeviceRules(const CSystemRoot& root);

// udev's database entry of a character device ("188:0"): its tags and properties.
struct UdevRecord {
    bool found = false;
    std::vector<std::string> tags;        // "uaccess", "seat", ...
    std::vector<std::string> properties;  // "ID_MM_DEVICE_IGNORE=1", ...

    bool HasTag(const std::string& tag) const;
    bool HasProperty(const std::string& property) const;
};

UdevRecord ReadUdevRecord(const CSystemRoot& root, const std::string& numbers);
// The record's text ("G:uaccess", "E:ID_MM_DEVICE_IGNORE=1" lines).
UdevRecord ParseUdevRecord(const std::string& text);

struct RunningProcess {
    int pid = 0;
    std::string name;  // /proc/PID/comm
};

std::vector<RunningProcess> RunningProcesses(const CSystemRoot& root);

// A device node's owner, group, mode and the users its access list names with read and
// write, as the kernel would judge an open for reading and writing.
struct NodeOwnership {
    bool exists = false;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    std::vector<uid_t> aclUsers;  // users the access list lets read and write (uaccess)
};

NodeOwnership ReadNodeOwnership(const CSystemRoot& root, const std::string& node);
// The access list of the POSIX ACL extended attribute: users with read and write.
std::vector<uid_t> ParseAclUsers(const std::vector<unsigned char>& attribute);

// How the user may open the node for reading and writing; "" when not at all.
std::string OpenPermission(const NodeOwnership& node, const UserIdentity& user,
                           const std::string& groupName);

// The name of a group from /etc/group; the number as text when it is not listed.
std::string GroupName(const CSystemRoot& root, gid_t group);

}  // namespace station
