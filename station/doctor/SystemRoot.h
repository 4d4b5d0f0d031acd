// Where the doctor reads the system: /sys, /dev, /proc, /run/udev and the udev rule folders
// below the machine's root, or below a fixture tree that a test lays in its place (the
// reader SDK's enumeration moves its sysfs root the same way). And who is asking.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace station {

class CSystemRoot {
  public:
    // root "" is the machine's own.
    explicit CSystemRoot(std::string root = {});

    // An absolute path such as /sys/class/tty below the root.
    std::string Path(const std::string& absolute) const;
    // A small file's text without trailing white space; false when it cannot be read.
    bool ReadText(const std::string& absolute, std::string& text) const;
    // The names in a directory in name order, without "." and ".."; empty when unreadable.
    std::vector<std::string> List(const std::string& absolute) const;
    bool Exists(const std::string& absolute) const;
    // Where a link leads, as an absolute path inside the root; "" when it leads nowhere.
    std::string Resolve(const std::string& absolute) const;
    // The last name of a link's target (a driver link's driver); "" for none.
    std::string LinkTargetName(const std::string& absolute) const;

  private:
    std::string m_root;
};

// The user the checks are made for: ids, supplementary groups and login name.
struct UserIdentity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::string name;

    static UserIdentity Current();
    bool InGroup(gid_t group) const;
};

}  // namespace station
