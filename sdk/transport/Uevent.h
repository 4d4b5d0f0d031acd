// The text of a sysfs uevent file: KEY=VALUE lines. Kept apart from the file reading so that
// it can be tested and fuzzed on its own.
#pragma once

#include <string>

#include "transport/HidDevice.h"

namespace vellf {

// The value of the first line that starts with key and "="; false when there is none.
bool UeventValue(const std::string& uevent, const char* key, std::string& value);

// HID_ID's value "<bus>:<vendor>:<product>", all hexadecimal; false when it is not one or
// the ids do not fit 16 bits.
bool ParseHidId(const std::string& id, HidAttributes& attributes);

}  // namespace vellf
