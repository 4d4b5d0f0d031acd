// The process-wide SDK context: the list of open reader ports and the opening handshake.
#pragma once

#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "VelRwPort.h"

namespace vellf {

class CVel_LF_SDKApp {
public:
    // Options bits of LfOpenPort beside the line settings in bits 0-3.
    static constexpr int kOptionNoCrcFallback = LF_OPEN_NO_CRC_FALLBACK;
    static constexpr int kOptionBackground = LF_OPEN_BACKGROUND;
    // The version handshake waits at most this long per attempt.
    static constexpr unsigned kHandshakeTimeoutMs = 300;

    static CVel_LF_SDKApp& Instance();

    ~CVel_LF_SDKApp();
    CVel_LF_SDKApp(const CVel_LF_SDKApp&) = delete;
    CVel_LF_SDKApp& operator=(const CVel_LF_SDKApp&) = delete;

    int OpenPort(const std::string& name, int baud, int options, int timeoutMs);
    int ClosePort(int handle);
    // The listed port with this handle, or null. Ports whose handle has become 0 are purged
    // on the way. The port stays alive while the caller holds it, even if it is closed.
    std::shared_ptr<CVel_RW_Port> Lookup(int handle);
    void CloseAllPorts();

private:
    CVel_LF_SDKApp() = default;

    void AddPort(const std::shared_ptr<CVel_RW_Port>& port);
    bool RemovePort(const std::shared_ptr<CVel_RW_Port>& port);

    std::list<std::shared_ptr<CVel_RW_Port>> m_ports;  // in the order they were opened
    std::mutex m_listLock;  // guards m_ports
    // Makes opens strictly sequential. Recursive: the handshake pumps the caller's event loop,
    // and an open from a pumped event on the same thread must not deadlock it.
    std::recursive_mutex m_openLock;
};

// Splits a trailing ":address" off a port name (default address 1). A name that ends in ':'
// stays as it is.
void SplitDeviceAddress(std::string& name, int& address);

}  // namespace vellf
