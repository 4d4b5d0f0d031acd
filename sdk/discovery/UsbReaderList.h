// The USB readers attached to the machine that are not reached through a serial line.
#pragma once

#include <string>
#include <vector>

namespace vellf {

// First the serial numbers of the unopened D2XX devices, then the HID reader names, each
// kept only when it starts with one of the maker's reader article numbers.
std::vector<std::string> ListUsbReaders();

}  // namespace vellf
