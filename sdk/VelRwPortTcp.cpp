// The TCP side of a reader port.
#include "VelRwPort.h"
#include "transport/TcpSocketThread.h"

namespace vellf {

CTCPSocketThread& CVel_RW_Port::TcpWorker() {
    if (!m_tcp) {
        // Stream bytes arrive on the worker's thread, in chunks, like those of a serial line.
        m_tcp = std::make_unique<CTCPSocketThread>(
            [this](const uint8_t* data, size_t size) { OnBytesReceived(data, size); });
    }
    return *m_tcp;
}

int CVel_RW_Port::OpenTcpTransport(const std::string& name) {
    if (!TcpWorker().StartConnect(name)) {
        m_tcp.reset();
        return -1;
    }
    return 0;
}

void CVel_RW_Port::CloseTcpTransport() {
    // The worker object stays until the port goes: a thread still in an exchange on this
    // port may be queueing a frame right now.
    if (m_tcp) m_tcp->StopWorker();
}

int CVel_RW_Port::TcpHandle() const {
    return m_tcp ? m_tcp->TcpNumber() : 0;
}

void CVel_RW_Port::SendTcpFrame(const std::vector<uint8_t>& frame) {
    if (m_tcp) m_tcp->QueueFrame(frame);
}

void CVel_RW_Port::EndTcpExchange(bool complete) {
    if (m_tcp) m_tcp->EndExchange(complete);
}

}  // namespace vellf
