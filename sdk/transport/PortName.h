// Port names: which transport a name selects, the COM name rule and the line settings that
// the open options ask for.
#pragma once

#include <string>

namespace vellf {

enum class TransportKind { Serial, Tcp, Hid, D2xx };

// A device path (/dev/ttyUSB0, or any absolute path such as a udev or test symlink to a
// line) or a Windows name COMn / \\.\COMn (n from 1).
bool IsSerialLineName(const std::string& name);

// A name that starts with '[' or holds three dots, the first not at position 0.
bool IsLanName(const std::string& name);

// A name that contains "HID".
bool IsHidName(const std::string& name);

// Serial line names are tested first: a device path such as /dev/serial/by-id/... may hold
// dots and must not be taken for a network address.
TransportKind ClassifyPortName(const std::string& name);

// Rewrites a Windows COM name to the device path Wine uses (COMn -> /dev/ttyS(n-1)) and
// leaves paths as they are; both answer true. Any other name loses a leading \\.\ and
// answers false (it is a D2XX device serial number). portNumber gets the name's number.
bool NormalizeComName(std::string& name, int& portNumber);

struct LineSettings {
    char parity = 'N';  // 'N', 'E' or 'O'
    int dataBits = 8;
    int stopBits = 1;
};

// Options bits 0-3: 0 none/1 stop bit, 1 even/1, 2 odd/1, 3 none/2, any other none/1.
LineSettings LineSettingsFromOptions(int options);

// "baud=%d parity=%c data=%d stop=%d", the form the line settings are reported in.
std::string LineSettingsText(int baud, const LineSettings& settings);

}  // namespace vellf
