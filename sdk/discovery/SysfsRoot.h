// Where device enumeration reads sysfs and /dev: the machine's own root, or a fixture tree
// that tests put in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vellf {

// Internal: every later enumeration reads below this directory ("" = the machine's root).
void SetSysfsRoot(const std::string& root);

// An absolute path such as /sys/class/tty below the current root.
std::string SysfsPath(const std::string& absolutePath);

// The text of a small attribute file without trailing white space; false when unreadable.
bool ReadSysfsText(const std::string& path, std::string& text);

// At most limit bytes of a binary attribute file; false when unreadable.
bool ReadSysfsBytes(const std::string& path, std::vector<uint8_t>& bytes, size_t limit);

// The names in a directory, without "." and ".."; false when it cannot be read.
bool ListSysfsDirectory(const std::string& path, std::vector<std::string>& names);

// True when the path exists, following links.
bool SysfsEntryExists(const std::string& path);

// Splits a name such as ttyUSB12 into ttyUSB and 12 (-1 without a trailing number).
void SplitTrailingNumber(const std::string& name, std::string& stem, long& number);

// Orders names by their stem, then by their trailing number: ttyS2 before ttyS10.
bool NumericNameLess(const std::string& a, const std::string& b);

}  // namespace vellf
