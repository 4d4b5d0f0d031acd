// The doctor's checks of one reader line: can it be opened (and who holds it), does the
// reader answer the version request at the stored baud rate, and when it does not, at which
// of the reader's rates it answers.
#pragma once

#include <string>

#include "station/doctor/DoctorLine.h"
#include "station/doctor/SystemRoot.h"

namespace station {

// The rates the interface dialog offers, most likely first.
inline constexpr int kReaderBaudRates[] = {19200, 9600, 38400, 57600, 115200, 4800, 2400, 230400};

struct LineCheckRequest {
    std::string port;  // a line (/dev/...), a USB reader or a network reader, as for LfOpenPort
    int baud = 19200;  // the stored rate
    int timeoutMs = 300;
};

DoctorLines CheckLine(const CSystemRoot& root, const LineCheckRequest& request);

// The process that holds a file lock on the device, from /proc/locks: its id, 0 for none.
int LockHolder(const CSystemRoot& root, const std::string& device);

}  // namespace station
