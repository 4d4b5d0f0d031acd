#include "station/doctor/DeviceChecks.h"

#include <algorithm>

namespace station {

namespace {

constexpr char kModemManager[] = "ModemManager";
constexpr char kBrailleService[] = "brltty";
constexpr char kReinstall[] = "sudo apt install --reinstall orvex-fsk-programmer";
constexpr char kReloadRules[] = "sudo udevadm control --reload && sudo udevadm trigger";

DoctorLine Line(const char* check, Verdict verdict, std::string subject, std::string finding,
                std::string fix = {}) {
    return {check, verdict, std::move(subject), std::move(finding), std::move(fix)};
}

const RunningProcess* FindProcess(const SystemPicture& system, const char* name) {
    for (const RunningProcess& process : system.processes) {
        if (process.name == name) return &process;
    }
    return nullptr;
}

std::string DriverText(const SeenDevice& device) {
    if (device.driver.empty()) return "no driver bound";
    return "driver " + device.driver +
           (device.interface.empty() ? std::string() : " on " + device.interface);
}

std::string UsbText(const SeenDevice& device) {
    if (device.usbId.empty()) return "";
    std::string text = "USB " + device.usbId;
    if (device.model != ReaderModel::None) text += std::string(" (") + ReaderModelText(device.model) + ")";
    return text + " at " + device.usbDevice;
}

// The FTDI reader's USB node matters only while no kernel driver holds it (D2XX opens it).
bool NeedsAccessCheck(const SeenDevice& device) {
    if (device.kind != SeenKind::UsbDevice) return true;
    return device.model == ReaderModel::Ftdi && device.driver.empty();
}

std::string FixForDeniedNode(const SeenDevice& device, const SystemPicture& system,
                             const UdevRecord& record, const NodeOwnership& node,
                             const UserIdentity& user, const std::string& group,
                             std::string& why) {
    const std::string joinGroup =
        "sudo usermod -aG " + group + " " + user.name + " (then log in again)";
    // Joining root's group is no fix anyone should be told.
    const bool groupWouldDo = group != "root" && (node.mode & 0060) == 0060;
    if (device.model != ReaderModel::None) {
        if (system.rules.path.empty()) {
            why = "the package's device rules are not installed";
            return kReinstall;
        }
        if (!system.rules.readByUdev) {
            why = "the device rules lie in " + system.rules.path + ", where udev does not look";
            return "sudo cp " + system.rules.path + " /etc/udev/rules.d/ && " + kReloadRules;
        }
        if (!record.HasTag("uaccess")) {
            why = "the device rules are installed but were not applied to this device (udev "
                  "was not reloaded since)";
            return kReloadRules;
        }
        why = "the uaccess rule opens it only to the user of the active local session (not over "
              "ssh, not a second login)";
        return groupWouldDo ? joinGroup : "log in at the machine's own screen and keyboard";
    }
    if (groupWouldDo) {
        why = "it belongs to group " + group + ", which " + user.name + " is not in";
        return joinGroup;
    }
    why = "only its owner may open it (mode " + std::to_string((node.mode >> 6) & 7) +
          std::to_string((node.mode >> 3) & 7) + std::to_string(node.mode & 7) + ")";
    return "a udev rule that gives the line to a group of " + user.name +
           ", e.g. GROUP=\"dialout\", MODE=\"0660\"";
}

}  // namespace

SystemPicture LookAtSystem(const CSystemRoot& root) {
    return {SeeDevices(root), FindDeviceRules(root), RunningProcesses(root)};
}

DoctorLines CheckReaders(const SystemPicture& system) {
    DoctorLines lines;
    for (const SeenDevice& device : system.devices) {
        if (device.kind == SeenKind::UsbDevice) {
            DoctorLine line = Line("reader", Verdict::Ok, "USB " + device.usbDevice,
                                   device.usbId + " " + ReaderModelText(device.model) + ", " +
                                       DriverText(device));
            if (device.driver.empty() && device.model == ReaderModel::VirtualCom) {
                line.verdict = Verdict::Problem;
                line.finding += ": no serial line appears";
                line.fix = "sudo modprobe cdc_acm";
            } else if (device.driver.empty() && device.model == ReaderModel::Hid) {
                line.verdict = Verdict::Problem;
                line.finding += ": no hidraw node appears";
                line.fix = "sudo modprobe usbhid";
            } else if (device.driver.empty()) {
                line.finding += " (free for the D2XX library)";
            }
            lines.push_back(line);
            continue;
        }
        std::string finding = device.kind == SeenKind::Hidraw ? "HID node" : "serial line";
        if (const std::string usb = UsbText(device); !usb.empty()) finding += ", " + usb;
        lines.push_back(Line(device.kind == SeenKind::Hidraw ? "hidraw" : "line", Verdict::Ok,
                             device.node, finding + ", " + DriverText(device)));
    }
    if (lines.empty())
        lines.push_back(Line("reader", Verdict::CannotTell, "devices",
                             "no serial line and no USB reader is seen (a network reader is "
                             "looked for with --lan)"));
    return lines;
}

DoctorLine CheckDeviceRules(const SystemPicture& system) {
    const bool usbReader =
        std::any_of(system.devices.begin(), system.devices.end(),
                    [](const SeenDevice& device) { return device.model != ReaderModel::None; });
    if (system.rules.path.empty())
        return Line("udev-rules", usbReader ? Verdict::Problem : Verdict::CannotTell,
                    kDeviceRulesName,
                    std::string("not installed") +
                        (usbReader ? "" : "; a USB reader needs them once it is plugged in"),
                    kReinstall);
    if (!system.rules.readByUdev)
        return Line("udev-rules", Verdict::Problem, system.rules.path,
                    "installed where udev does not look",
                    "sudo cp " + system.rules.path + " /etc/udev/rules.d/ && " + kReloadRules);
    return Line("udev-rules", Verdict::Ok, system.rules.path, "installed");
}

DoctorLines CheckAccess(const CSystemRoot& root, const SystemPicture& system,
                        const UserIdentity& user) {
    DoctorLines lines;
    for (const SeenDevice& device : system.devices) {
        if (device.node.empty() || !NeedsAccessCheck(device)) continue;
        const NodeOwnership node = ReadNodeOwnership(root, device.node);
        if (!node.exists) {
            lines.push_back(Line("access", Verdict::CannotTell, device.node,
                                 "the device node is missing"));
            continue;
        }
        const std::string group = GroupName(root, node.group);
        if (const std::string how = OpenPermission(node, user, group); !how.empty()) {
            lines.push_back(Line("access", Verdict::Ok, device.node, user.name + " may open it " + how));
            continue;
        }
        std::string why;
        const UdevRecord record = ReadUdevRecord(root, device.numbers);
        std::string fix = FixForDeniedNode(device, system, record, node, user, group, why);
        lines.push_back(Line("access", Verdict::Problem, device.node,
                             user.name + " may not open it: " + why, std::move(fix)));
    }
    return lines;
}

DoctorLines CheckModemManager(const CSystemRoot& root, const SystemPicture& system) {
    const RunningProcess* manager = FindProcess(system, kModemManager);
    if (manager == nullptr)
        return {Line("modem-manager", Verdict::Ok, kModemManager, "not running")};
    DoctorLines lines;
    for (const SeenDevice& device : system.devices) {
        if (device.kind != SeenKind::SerialLine || device.usbId.empty()) continue;
        const UdevRecord record = ReadUdevRecord(root, device.numbers);
        const bool ignored = record.HasProperty("ID_MM_DEVICE_IGNORE=1");
        if (ignored) {
            lines.push_back(Line("modem-manager", Verdict::Ok, device.node,
                                 "the running modem manager is told to leave it alone"));
        } else if (device.model != ReaderModel::None) {
            lines.push_back(Line("modem-manager", Verdict::Problem, device.node,
                                 "the running modem manager (process " +
                                     std::to_string(manager->pid) +
                                     ") may probe the reader with AT commands: the package's "
                                     "ignore rule does not cover it yet",
                                 system.rules.path.empty() ? kReinstall : kReloadRules));
        } else {
            lines.push_back(Line("modem-manager", Verdict::CannotTell, device.node,
                                 "the running modem manager may probe this USB serial line; the "
                                 "package's ignore rule covers only the maker's readers",
                                 "a udev rule with ENV{ID_MM_DEVICE_IGNORE}=\"1\" for " +
                                     device.usbId + ", or sudo systemctl stop ModemManager"));
        }
    }
    if (lines.empty())
        lines.push_back(Line("modem-manager", Verdict::Ok, kModemManager,
                             "running; no USB serial line for it to probe"));
    return lines;
}

DoctorLine CheckBrailleService(const SystemPicture& system) {
    const RunningProcess* service = FindProcess(system, kBrailleService);
    if (service == nullptr)
        return Line("braille-service", Verdict::Ok, kBrailleService, "not running");
    std::vector<std::string> adapters;
    for (const SeenDevice& device : system.devices) {
        if (device.usbSerialAdapter) adapters.push_back(device.node);
    }
    if (adapters.empty())
        return Line("braille-service", Verdict::Ok, kBrailleService,
                    "running (process " + std::to_string(service->pid) +
                        "); no USB serial adapter for it to claim");
    std::string nodes;
    for (const std::string& node : adapters) nodes += (nodes.empty() ? "" : ", ") + node;
    return Line("braille-service", Verdict::Problem, kBrailleService,
                "the braille-display service (process " + std::to_string(service->pid) +
                    ") claims USB serial adapters such as " + nodes,
                "sudo systemctl mask --now brltty.service brltty-udev.service");
}

DoctorLines CheckFtdiDriver(const SystemPicture& system, const std::string& port) {
    DoctorLines lines;
    const bool portIsLine = !port.empty() && port.front() == '/';
    // A bare name that no other kind claims is a D2XX serial number, as the SDK reads it.
    const bool portIsD2xx = !port.empty() && !portIsLine && port.find("HID") == std::string::npos &&
                            port.find('.') == std::string::npos && port.front() != '[' &&
                            port.rfind("COM", 0) != 0;
    for (const SeenDevice& device : system.devices) {
        if (device.kind != SeenKind::UsbDevice || device.model != ReaderModel::Ftdi) continue;
        const std::string subject = "USB " + device.usbDevice;
        if (!device.driver.empty() && portIsD2xx) {
            lines.push_back(Line("ftdi-driver", Verdict::Problem, subject,
                                 "the kernel's driver " + device.driver +
                                     " holds the reader, which the station opens through D2XX (" +
                                     port + ")",
                                 "echo -n " + device.interface + " | sudo tee /sys/bus/usb/drivers/" +
                                     device.driver + "/unbind"));
        } else if (device.driver.empty() && portIsLine) {
            lines.push_back(Line("ftdi-driver", Verdict::Problem, subject,
                                 "the station opens the reader as the line " + port +
                                     ", but no kernel driver serves it (it is set for D2XX)",
                                 "sudo modprobe ftdi_sio && echo 0403 c6f1 | sudo tee "
                                 "/sys/bus/usb-serial/drivers/ftdi_sio/new_id"));
        } else if (!device.driver.empty()) {
            lines.push_back(Line("ftdi-driver", Verdict::Ok, subject,
                                 "the kernel's driver " + device.driver +
                                     " serves the reader as a serial line"));
        } else {
            lines.push_back(Line("ftdi-driver", Verdict::Ok, subject,
                                 "no kernel driver holds the reader: free for the D2XX library"));
        }
    }
    return lines;
}

}  // namespace station
