// The TCP transport of network readers: a worker thread per port that owns the socket.
#pragma once

namespace vellf {

// Not available in this build yet; the network reader change brings it.
class CTCPSocketThread {};

}  // namespace vellf
