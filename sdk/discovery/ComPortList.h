// The serial lines of the machine, with a tag on the maker's USB virtual COM readers.
#pragma once

#include <string>
#include <vector>

namespace vellf {

// Entries "/dev/NAME", optionally followed by " [product]" (a USB product string that starts
// with "Qor" or "MZ-4", any case) or " [Qor Virtual COM]" (USB id 2B7E:0A3D). Sorted by the
// name without its trailing number, then by that number. When sysfs cannot be read, the
// /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* lines that open are listed without tags.
std::vector<std::string> EnumerateComPorts();

}  // namespace vellf
