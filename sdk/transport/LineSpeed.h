// Baud rates outside the standard table, through the kernel's arbitrary-rate interface.
#pragma once

namespace vellf {

// Sets the line's input and output rate to baud on an open terminal; false when the kernel
// or the device refuses it.
bool SetArbitraryLineSpeed(int fd, int baud);
// The line's output rate in baud, -1 when it cannot be read.
int CurrentLineSpeed(int fd);

}  // namespace vellf
