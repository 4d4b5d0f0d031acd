#include "discovery/UsbDriverCheck.h"

#include <sys/utsname.h>

#include <fstream>
#include <string>
#include <vector>

#include "discovery/SysfsRoot.h"
#include "discovery/UsbIds.h"
#include "transport/D2xxPort.h"

namespace vellf {

namespace {

// A USB device's interfaces are the entries "<device>:<config>.<interface>" in its directory.
bool AnyInterfaceBound(const std::string& deviceDir, const std::string& deviceName) {
    std::vector<std::string> entries;
    if (!ListSysfsDirectory(deviceDir, entries)) return false;
    const std::string prefix = deviceName + ":";
    for (const std::string& entry : entries) {
        if (entry.rfind(prefix, 0) == 0 && SysfsEntryExists(deviceDir + "/" + entry + "/driver")) {
            return true;
        }
    }
    return false;
}

// A module list line names the CDC-ACM module: ".../cdc-acm.ko", possibly compressed and, in
// modules.dep, followed by ":" and its dependencies.
bool NamesCdcAcmModule(const std::string& line) {
    const std::string path = line.substr(0, line.find(':'));
    const size_t slash = path.rfind('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    return file.rfind("cdc-acm.ko", 0) == 0 || file.rfind("cdc_acm.ko", 0) == 0;
}

bool ModuleListNamesCdcAcm(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (NamesCdcAcmModule(line)) return true;
    }
    return false;
}

}  // namespace

int UsbDeviceFlags() {
    const std::string devicesDir = SysfsPath("/sys/bus/usb/devices");
    std::vector<std::string> names;
    if (!ListSysfsDirectory(devicesDir, names)) return 0;
    int flags = 0;
    bool ftdiReaderUnbound = false;
    for (const std::string& name : names) {
        const std::string deviceDir = devicesDir + "/" + name;
        UsbId id{};
        if (!ReadUsbId(deviceDir, id)) continue;  // interfaces carry no ids of their own
        if (id == kVirtualComReader && !AnyInterfaceBound(deviceDir, name)) {
            flags |= kUsbFlagVirtualComReader;
        } else if (id == kFtdiReader && !AnyInterfaceBound(deviceDir, name)) {
            ftdiReaderUnbound = true;
        }
    }
    // The D2XX library drives such a reader from user space, so no kernel driver is ever
    // bound to it: it lacks its driver only when the library cannot be loaded.
    if (ftdiReaderUnbound && !D2xxLibraryLoadable()) flags |= kUsbFlagFtdiReader;
    return flags;
}

bool IsUsbDriverInstalled() {
    // Registered with the USB core: built in, or loaded right now.
    if (SysfsEntryExists(SysfsPath("/sys/bus/usb/drivers/cdc_acm")) ||
        SysfsEntryExists(SysfsPath("/sys/module/cdc_acm"))) {
        return true;
    }
    // Otherwise the running kernel's module lists: built in, or available to load.
    utsname system{};
    if (uname(&system) != 0) return false;
    for (const char* base : {"/lib/modules/", "/usr/lib/modules/"}) {
        const std::string dir = SysfsPath(base + std::string(system.release));
        if (ModuleListNamesCdcAcm(dir + "/modules.builtin") ||
            ModuleListNamesCdcAcm(dir + "/modules.dep")) {
            return true;
        }
    }
    return false;
}

}  // namespace vellf
