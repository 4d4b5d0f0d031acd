// LAN configuration ports: reader ports whose socket worker is never started; the socket sits
// in datagram mode on the adapter where the device answered, with the device as its host. One
// lives for a single configuration call.
#pragma once

#include <memory>
#include <string>

#include "VelRwPort.h"

namespace vellf {

class CTCPSocket;

// A handle from the TCP range, or -1 when the device does not answer.
int OpenLanConfigPort(const std::string& address);
// Sends the apply command first when asked; closes the socket and forgets the port. True when
// the handle was known.
bool CloseLanConfigPort(int handle, bool apply);
// The socket of an open configuration port, or null.
CTCPSocket* LanConfigSocket(int handle);

}  // namespace vellf
