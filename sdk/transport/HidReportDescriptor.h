// Report lengths from a HID report descriptor.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellf {

struct HidReportLengths {
    // Longest input and output report in bytes, the report ID byte included; 0 when the
    // descriptor defines no such report.
    size_t input = 0;
    size_t output = 0;
    bool numberedReports = false;  // the reports carry report IDs of their own
};

// False when the descriptor is malformed (a truncated item, an unbalanced pop).
bool ParseReportDescriptor(const uint8_t* data, size_t size, HidReportLengths& lengths);

}  // namespace vellf
