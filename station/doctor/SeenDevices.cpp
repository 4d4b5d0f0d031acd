#include "station/doctor/SeenDevices.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace station {

namespace {

// The maker's USB ids, as the package's device rules list them (a test keeps the two equal).
struct MakerId {
    const char* id;
    ReaderModel model;
};
constexpr MakerId kMakerIds[] = {
    {"2b7e:0a3d", ReaderModel::VirtualCom}, {"0403:c6f1", ReaderModel::Ftdi},
    {"3d51:17a6", ReaderModel::Hid},        {"2b7e:0a3c", ReaderModel::Hid},
    {"2b7e:0a3e", ReaderModel::Hid},        {"2b7e:0a3f", ReaderModel::Hid},
    {"2b7e:0a40", ReaderModel::Hid},        {"2b7e:0a41", ReaderModel::Hid},
    {"4e85:2c19", ReaderModel::Hid},
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Parent(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

std::string LastName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// From a device folder up to the USB device above it: the first driver bound on the way,
// the interface it is bound to, and the USB device's id.
void ReadAncestry(const CSystemRoot& root, const std::string& deviceDir, SeenDevice& device) {
    for (std::string dir = deviceDir; !dir.empty() && dir != "/sys/devices"; dir = Parent(dir)) {
        if (device.driver.empty()) {
            if (std::string driver = root.LinkTargetName(dir + "/driver"); !driver.empty()) {
                device.driver = driver;
                device.interface = LastName(dir);
            }
        }
        std::string vendor;
        std::string product;
        if (root.ReadText(dir + "/idVendor", vendor) && root.ReadText(dir + "/idProduct", product)) {
            device.usbId = Lower(vendor + ":" + product);
            device.usbDevice = LastName(dir);
            device.usbDir = dir;
            device.model = ModelOfUsbId(device.usbId);
            return;
        }
    }
}

void SeeSerialLines(const CSystemRoot& root, std::vector<SeenDevice>& seen) {
    for (const std::string& name : root.List("/sys/class/tty")) {
        const std::string entry = "/sys/class/tty/" + name;
        const std::string deviceDir = root.Resolve(entry + "/device");
        if (deviceDir.empty()) continue;  // virtual consoles, pseudo-terminals
        std::string type;
        if (root.ReadText(entry + "/type", type) && type == "0") continue;  // no UART there
        SeenDevice device;
        device.kind = SeenKind::SerialLine;
        device.node = "/dev/" + name;
        root.ReadText(entry + "/dev", device.numbers);
        ReadAncestry(root, deviceDir, device);
        device.usbSerialAdapter = name.rfind("ttyUSB", 0) == 0;
        seen.push_back(device);
    }
}

void SeeHidrawNodes(const CSystemRoot& root, std::vector<SeenDevice>& seen) {
    for (const std::string& name : root.List("/sys/class/hidraw")) {
        const std::string entry = "/sys/class/hidraw/" + name;
        SeenDevice device;
        device.kind = SeenKind::Hidraw;
        device.node = "/dev/" + name;
        root.ReadText(entry + "/dev", device.numbers);
        ReadAncestry(root, root.Resolve(entry + "/device"), device);
        // Keyboards and mice have hidraw nodes too; only readers matter here.
        if (device.model != ReaderModel::None) seen.push_back(device);
    }
}

void SeeUsbDevices(const CSystemRoot& root, std::vector<SeenDevice>& seen) {
    for (const std::string& name : root.List("/sys/bus/usb/devices")) {
        const std::string dir = root.Resolve("/sys/bus/usb/devices/" + name);
        std::string vendor;
        std::string product;
        if (dir.empty() || !root.ReadText(dir + "/idVendor", vendor) ||
            !root.ReadText(dir + "/idProduct", product))
            continue;  // an interface, not a device
        SeenDevice device;
        device.kind = SeenKind::UsbDevice;
        device.usbId = Lower(vendor + ":" + product);
        device.model = ModelOfUsbId(device.usbId);
        if (device.model == ReaderModel::None) continue;
        device.usbDevice = name;
        device.usbDir = dir;
        std::string bus;
        std::string number;
        if (root.ReadText(dir + "/busnum", bus) && root.ReadText(dir + "/devnum", number)) {
            char node[40];
            std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", std::atoi(bus.c_str()),
                          std::atoi(number.c_str()));
            device.node = node;
        }
        root.ReadText(dir + "/dev", device.numbers);
        for (const std::string& child : root.List(dir)) {
            if (child.rfind(name + ":", 0) != 0) continue;
            if (std::string driver = root.LinkTargetName(dir + "/" + child + "/driver");
                !driver.empty()) {
                device.driver = driver;
                device.interface = child;
                break;
            }
        }
        seen.push_back(device);
    }
}

}  // namespace

ReaderModel ModelOfUsbId(const std::string& usbId) {
    for (const MakerId& maker : kMakerIds) {
        if (usbId == maker.id) return maker.model;
    }
    return ReaderModel::None;
}

const char* ReaderModelText(ReaderModel model) {
    switch (model) {
        case ReaderModel::VirtualCom:
            return "virtual COM reader";
        case ReaderModel::Ftdi:
            return "FTDI reader (D2XX)";
        case ReaderModel::Hid:
            return "HID reader";
        case ReaderModel::None:
            break;
    }
    return "";
}

std::vector<SeenDevice> SeeDevices(const CSystemRoot& root) {
    std::vector<SeenDevice> seen;
    SeeUsbDevices(root, seen);
    SeeSerialLines(root, seen);
    SeeHidrawNodes(root, seen);
    return seen;
}

}  // namespace station
