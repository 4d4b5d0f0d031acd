// The TCP side of a reader port.
#include "VelRwPort.h"
#include "transport/TcpSocketThread.h"

namespace vellf {

int CVel_RW_Port::OpenTcpTransport(const std::string& /*name*/) { return -1; }

void CVel_RW_Port::CloseTcpTransport() { m_tcp.reset(); }

int CVel_RW_Port::TcpHandle() const { return 0; }

void CVel_RW_Port::SendTcpFrame(const std::vector<uint8_t>& /*frame*/) {}

}  // namespace vellf
