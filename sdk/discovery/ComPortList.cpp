#include "discovery/ComPortList.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "discovery/SysfsRoot.h"
#include "discovery/UsbIds.h"

namespace vellf {

namespace {

struct ComPort {
    std::string name;  // ttyUSB0
    std::string tag;   // " [...]" or empty
};

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The USB device a tty hangs off: the nearest directory above the tty's device that carries
// USB ids, without leaving sysfs. Empty for a line that is not on USB.
std::string UsbDeviceOf(const std::string& deviceLink) {
    const std::string sysRoot = RealPath(SysfsPath("/sys"));
    std::string dir = RealPath(deviceLink);
    if (sysRoot.empty() || dir.empty()) return {};
    while (dir.size() > sysRoot.size() && dir.compare(0, sysRoot.size(), sysRoot) == 0) {
        if (SysfsEntryExists(dir + "/idVendor") && SysfsEntryExists(dir + "/idProduct")) {
            return dir;
        }
        dir.erase(dir.rfind('/'));
    }
    return {};
}

std::string TagOf(const std::string& deviceLink) {
    const std::string usbDevice = UsbDeviceOf(deviceLink);
    if (usbDevice.empty()) return {};
    std::string product;
    if (ReadSysfsText(usbDevice + "/product", product) &&
        (StartsWithNoCase(product, "Qor") || StartsWithNoCase(product, "MZ-4"))) {
        return " [" + product + "]";
    }
    UsbId id{};
    if (ReadUsbId(usbDevice, id) && id == kVirtualComReader) return " [Qor Virtual COM]";
    return {};
}

// A ttyS line exists for every possible UART; only those with a known UART type are real.
bool IsUnknownUart(const std::string& name, const std::string& classEntry) {
    if (name.rfind("ttyS", 0) != 0) return false;
    std::string type;
    return ReadSysfsText(classEntry + "/type", type) && type == "0";
}

bool IsProbedLineName(const std::string& name) {
    for (const char* stem : {"ttyS", "ttyUSB", "ttyACM"}) {
        const size_t length = std::char_traits<char>::length(stem);
        if (name.size() > length && name.compare(0, length, stem) == 0 &&
            std::all_of(name.begin() + static_cast<long>(length), name.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
            return true;
        }
    }
    return false;
}

// Without sysfs: the lines that can be opened right now.
std::vector<ComPort> ProbeComPorts() {
    std::vector<ComPort> ports;
    std::vector<std::string> names;
    if (!ListSysfsDirectory(SysfsPath("/dev"), names)) return ports;
    for (const std::string& name : names) {
        if (!IsProbedLineName(name)) continue;
        const int fd =
            open(SysfsPath("/dev/" + name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        close(fd);
        ports.push_back({name, {}});
    }
    return ports;
}

}  // namespace

std::vector<std::string> EnumerateComPorts() {
    const std::string classDir = SysfsPath("/sys/class/tty");
    std::vector<std::string> names;
    std::vector<ComPort> ports;
    if (ListSysfsDirectory(classDir, names)) {
        for (const std::string& name : names) {
            const std::string entry = classDir + "/" + name;
            // Virtual consoles and pseudo-terminals have no device behind them.
            if (!SysfsEntryExists(entry + "/device")) continue;
            if (IsUnknownUart(name, entry)) continue;
            ports.push_back({name, TagOf(entry + "/device")});
        }
    } else {
        ports = ProbeComPorts();
    }
    std::stable_sort(ports.begin(), ports.end(), [](const ComPort& a, const ComPort& b) {
        return NumericNameLess(a.name, b.name);
    });
    std::vector<std::string> entries;
    entries.reserve(ports.size());
    for (const ComPort& port : ports) entries.push_back("/dev/" + port.name + port.tag);
    return entries;
}

}  // namespace vellf
