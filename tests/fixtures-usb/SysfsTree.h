// Fixture trees of sysfs and /dev for the enumeration tests, laid out as the kernel does:
// devices under /sys/devices, class and bus entries as links into them. While a tree lives
// the SDK enumerates below it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "discovery/SysfsRoot.h"

namespace testsupport {

class SysfsTree {
  public:
    SysfsTree() {
        char pattern[] = "/tmp/vellf-sysfs-XXXXXX";
        m_root = mkdtemp(pattern);
        vellf::SetSysfsRoot(m_root);
    }
    ~SysfsTree() {
        vellf::SetSysfsRoot("");
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const { return m_root + "/" + relative; }

    void Dir(const std::string& relative) const {
        std::filesystem::create_directories(Path(relative));
    }
    void File(const std::string& relative, const std::string& content) const {
        Dir(Parent(relative));
        FILE* file = std::fopen(Path(relative).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
    // A link to another place in the tree.
    void Link(const std::string& relative, const std::string& targetRelative) const {
        Dir(Parent(relative));
        symlink(Path(targetRelative).c_str(), Path(relative).c_str());
    }

    // A USB device on the first bus; returns its directory below sys/devices.
    std::string UsbDevice(const std::string& name, const std::string& vendor,
                          const std::string& product, const std::string& productText) const {
        const std::string dir = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + name;
        File(dir + "/idVendor", vendor + "\n");
        File(dir + "/idProduct", product + "\n");
        if (!productText.empty()) File(dir + "/product", productText + "\n");
        Link("sys/bus/usb/devices/" + name, dir);
        return dir;
    }
    // An interface of a USB device, optionally bound to a driver; returns its directory.
    std::string UsbInterface(const std::string& deviceDir, const std::string& deviceName,
                             const std::string& number, const std::string& driver) const {
        const std::string dir = deviceDir + "/" + deviceName + ":" + number;
        File(dir + "/bInterfaceNumber", "00\n");
        if (!driver.empty()) {
            Dir("sys/bus/usb/drivers/" + driver);
            Link(dir + "/driver", "sys/bus/usb/drivers/" + driver);
        }
        return dir;
    }
    // A tty below a device directory, listed in the tty class with a device link.
    void Tty(const std::string& name, const std::string& deviceDir) const {
        const std::string dir = deviceDir + "/tty/" + name;
        File(dir + "/dev", "188:0\n");
        Link(dir + "/device", deviceDir);
        Link("sys/class/tty/" + name, dir);
    }
    // A CDC-ACM line (ttyACM) of a USB device.
    void AcmTty(const std::string& name, const std::string& deviceName, const std::string& vendor,
                const std::string& product, const std::string& productText) const {
        const std::string device = UsbDevice(deviceName, vendor, product, productText);
        Tty(name, UsbInterface(device, deviceName, "1.0", "cdc_acm"));
    }
    // A USB serial converter line (ttyUSB): the tty hangs off a port device of the interface.
    void UsbSerialTty(const std::string& name, const std::string& deviceName,
                      const std::string& vendor, const std::string& product,
                      const std::string& productText) const {
        const std::string device = UsbDevice(deviceName, vendor, product, productText);
        const std::string port = UsbInterface(device, deviceName, "1.0", "ftdi_sio") + "/" + name;
        Dir(port);
        Tty(name, port);
    }
    // A UART of the 8250 driver; type 0 is a UART the kernel did not find.
    void Uart(const std::string& name, int type) const {
        const std::string device = "sys/devices/platform/serial8250";
        Tty(name, device);
        File(device + "/tty/" + name + "/type", std::to_string(type) + "\n");
    }
    // A terminal without a device behind it (virtual console, pseudo-terminal master).
    void VirtualTty(const std::string& name) const {
        const std::string dir = "sys/devices/virtual/tty/" + name;
        File(dir + "/dev", "4:0\n");
        Link("sys/class/tty/" + name, dir);
    }

  private:
    static std::string Parent(const std::string& relative) {
        const size_t slash = relative.rfind('/');
        return slash == std::string::npos ? std::string() : relative.substr(0, slash);
    }

    std::string m_root;
};

}  // namespace testsupport
