// The devices the system shows that can carry a reader: serial lines, hidraw nodes of the
// maker's HID readers and the maker's USB devices, each with the driver bound to it, read
// from sysfs. Virtual terminals and UARTs the kernel did not find are left out.
#pragma once

#include <string>
#include <vector>

#include "station/doctor/SystemRoot.h"

namespace station {

enum class SeenKind { SerialLine, Hidraw, UsbDevice };

// What the maker's USB id says the device is.
enum class ReaderModel { None, VirtualCom, Ftdi, Hid };

struct SeenDevice {
    SeenKind kind = SeenKind::SerialLine;
    std::string node;        // /dev/ttyACM0, /dev/hidraw2, /dev/bus/usb/001/004
    std::string numbers;     // major:minor from sysfs, names the device in udev's database
    std::string usbId;       // "2b7e:0a3d"; empty when not on USB
    std::string usbDevice;   // the USB device's sysfs name ("1-2"); empty when not on USB
    std::string usbDir;      // the USB device's sysfs folder
    std::string driver;      // bound driver ("cdc_acm", "ftdi_sio", "hid-generic"); "" none
    std::string interface;   // the bound interface ("1-2:1.0"); UsbDevice: the first one
    ReaderModel model = ReaderModel::None;
    bool usbSerialAdapter = false;  // a USB serial converter's line (ttyUSB)
};

ReaderModel ModelOfUsbId(const std::string& usbId);
// "virtual COM reader", "FTDI reader (D2XX)", "HID reader", "".
const char* ReaderModelText(ReaderModel model);

std::vector<SeenDevice> SeeDevices(const CSystemRoot& root);

}  // namespace station
