// A fixture tree of what the doctor reads: sysfs laid out as the kernel does (devices under
// /sys/devices, class and bus entries as links into them), device nodes in /dev as plain
// files with the mode a test gives, udev's database in /run/udev/data, rule folders, the
// group file and /proc entries of running processes.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

#include "station/doctor/SystemRoot.h"

namespace lfprogtest {

class FakeSystem {
  public:
    FakeSystem() { File("etc/group", "root:x:0:\n"); }

    station::CSystemRoot Root() const { return station::CSystemRoot(m_dir.path().toStdString()); }
    std::string Path(const std::string& relative) const {
        return m_dir.filePath(QString::fromStdString(relative)).toStdString();
    }

    void File(const std::string& relative, const std::string& content) const {
        std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
        std::ofstream(Path(relative), std::ios::binary) << content;
    }
    void Append(const std::string& relative, const std::string& content) const {
        std::ofstream(Path(relative), std::ios::binary | std::ios::app) << content;
    }
    void Link(const std::string& relative, const std::string& targetRelative) const {
        std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
        std::filesystem::create_directories(Path(targetRelative));
        std::filesystem::create_directory_symlink(Path(targetRelative), Path(relative));
    }

    // A USB device on the first bus with one interface, bound to driver unless it is "".
    std::string UsbDevice(const std::string& name, const std::string& id,
                          const std::string& driver, int devnum = 4) const {
        const std::string dir = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + name;
        File(dir + "/idVendor", id.substr(0, 4) + "\n");
        File(dir + "/idProduct", id.substr(5) + "\n");
        File(dir + "/busnum", "1\n");
        File(dir + "/devnum", std::to_string(devnum) + "\n");
        File(dir + "/dev", "189:" + std::to_string(devnum) + "\n");
        Link("sys/bus/usb/devices/" + name, dir);
        const std::string interface = dir + "/" + name + ":1.0";
        File(interface + "/bInterfaceNumber", "00\n");
        if (!driver.empty()) Link(interface + "/driver", "sys/bus/usb/drivers/" + driver);
        return interface;
    }
    // A serial line below a device folder, with its number for udev's database.
    void Tty(const std::string& name, const std::string& deviceDir, const std::string& numbers) const {
        const std::string dir = deviceDir + "/tty/" + name;
        File(dir + "/dev", numbers + "\n");
        Link(dir + "/device", deviceDir);
        Link("sys/class/tty/" + name, dir);
    }
    // A USB serial converter's line: the tty hangs off a port below the interface.
    void UsbSerialLine(const std::string& name, const std::string& deviceName, const std::string& id,
                       const std::string& driver) const {
        const std::string port = UsbDevice(deviceName, id, driver) + "/" + name;
        std::filesystem::create_directories(Path(port));
        Tty(name, port, "188:0");
    }
    void AcmLine(const std::string& name, const std::string& deviceName, const std::string& id) const {
        Tty(name, UsbDevice(deviceName, id, "cdc_acm"), "166:0");
    }
    void HidrawNode(const std::string& name, const std::string& deviceName, const std::string& id) const {
        const std::string hid = UsbDevice(deviceName, id, "usbhid") + "/0003:" + id + ".0001";
        Link(hid + "/driver", "sys/bus/hid/drivers/hid-generic");
        const std::string dir = hid + "/hidraw/" + name;
        File(dir + "/dev", "243:0\n");
        Link(dir + "/device", hid);
        Link("sys/class/hidraw/" + name, dir);
    }
    // A device node owned by the test's user and group, with mode.
    void Node(const std::string& node, mode_t mode) const {
        File(node.substr(1), "");
        chmod(Path(node.substr(1)).c_str(), mode);
    }
    void Udev(const std::string& numbers, const std::string& record) const {
        File("run/udev/data/c" + numbers, record);
    }
    void Process(int pid, const std::string& name) const {
        File("proc/" + std::to_string(pid) + "/comm", name + "\n");
    }

  private:
    QTemporaryDir m_dir;
};

}  // namespace lfprogtest
