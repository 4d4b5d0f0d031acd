// The doctor's checks of the devices and of the system around them: the readers seen and
// their drivers, who may open each node, the package's device rules, the modem manager, a
// braille-display service, and the FTDI reader's driver against the way the station opens it.
#pragma once

#include <string>
#include <vector>

#include "station/doctor/DoctorLine.h"
#include "station/doctor/SeenDevices.h"
#include "station/doctor/SystemFacts.h"

namespace station {

// Everything the device checks read, gathered once.
struct SystemPicture {
    std::vector<SeenDevice> devices;
    DeviceRules rules;
    std::vector<RunningProcess> processes;
};

SystemPicture LookAtSystem(const CSystemRoot& root);

// One line per maker's USB device and per serial line and reader hidraw node, with its
// driver; "cannot tell" when none is seen at all.
DoctorLines CheckReaders(const SystemPicture& system);
DoctorLine CheckDeviceRules(const SystemPicture& system);
// Whether the user may open each serial line, reader hidraw node and (for D2XX) the FTDI
// reader's USB node, and why not.
DoctorLines CheckAccess(const CSystemRoot& root, const SystemPicture& system,
                        const UserIdentity& user);
DoctorLines CheckModemManager(const CSystemRoot& root, const SystemPicture& system);
DoctorLine CheckBrailleService(const SystemPicture& system);
// port: the line the station or --port names ("" when none): a /dev path means the kernel's
// driver should hold the FTDI reader, a bare serial number means D2XX should.
DoctorLines CheckFtdiDriver(const SystemPicture& system, const std::string& port);

}  // namespace station
