#include "SdkApp.h"

#include <algorithm>
#include <cctype>

#include "VersionReply.h"
#include "transport/PortName.h"

namespace vellf {

namespace {

constexpr uint8_t kCmdVersion = 0xF0;
constexpr int kDefaultNonSerialBaud = 19200;

}  // namespace

CVel_LF_SDKApp& CVel_LF_SDKApp::Instance() {
    static CVel_LF_SDKApp app;
    return app;
}

CVel_LF_SDKApp::~CVel_LF_SDKApp() { CloseAllPorts(); }

void SplitDeviceAddress(std::string& name, int& address) {
    address = 1;
    const size_t colon = name.rfind(':');
    if (colon == std::string::npos || colon + 1 >= name.size()) return;
    int value = 0;
    for (size_t i = colon + 1; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) break;
        value = value * 10 + (name[i] - '0');
        if (value > 0xFFFFFF) break;  // only the low byte goes into a frame anyway
    }
    address = value;
    name.erase(colon);
}

void CVel_LF_SDKApp::AddPort(const std::shared_ptr<CVel_RW_Port>& port) {
    std::lock_guard<std::mutex> guard(m_listLock);
    m_ports.push_back(port);
}

bool CVel_LF_SDKApp::RemovePort(const std::shared_ptr<CVel_RW_Port>& port) {
    std::lock_guard<std::mutex> guard(m_listLock);
    return m_ports.remove(port) != 0;
}

std::shared_ptr<CVel_RW_Port> CVel_LF_SDKApp::Lookup(int handle) {
    std::lock_guard<std::mutex> guard(m_listLock);
    for (auto it = m_ports.end(); it != m_ports.begin();) {
        --it;
        const int portHandle = (*it)->Handle();
        if (portHandle == handle && handle != 0) return *it;
        if (portHandle == 0) it = m_ports.erase(it);
    }
    return nullptr;
}

int CVel_LF_SDKApp::OpenPort(const std::string& requestedName, int baud, int options,
                             int timeoutMs) {
    std::string name = requestedName;
    if (!IsSerialLineName(name)) baud = kDefaultNonSerialBaud;
    std::lock_guard<std::recursive_mutex> openGuard(m_openLock);
    int address = 1;
    SplitDeviceAddress(name, address);

    // Two passes with a fresh transport each; the second falls back to CRC framing.
    for (int pass = 1;; ++pass) {
        if (timeoutMs < 0) return LF_OPEN_BAD_TIMEOUT;
        auto port = std::make_shared<CVel_RW_Port>();
        if (options & kOptionBackground) port->m_background = 1;
        port->m_timeoutMs = static_cast<unsigned>(timeoutMs);
        port->m_address = address;
        const int opened = port->OpenTransport(name, baud, options);
        if (opened != 0) return opened;
        AddPort(port);

        port->m_timeoutMs = std::min(static_cast<unsigned>(timeoutMs), kHandshakeTimeoutMs);
        std::vector<uint8_t> reply;
        bool answered = port->Exchange(kCmdVersion, {}, &reply);
        if (!answered && pass == 2 && !(options & kOptionNoCrcFallback)) {
            port->m_crcFraming = 1;
            answered = port->Exchange(kCmdVersion, {}, &reply);
        }
        if (answered) {
            port->m_timeoutMs = static_cast<unsigned>(timeoutMs);
            const VersionInfo info = EvaluateVersionReply(reply);
            port->m_deviceType = info.deviceType;
            port->m_firmwareDigit = info.firmwareDigit;
            port->m_capabilities = info.capabilities;
            return port->Handle();
        }
        RemovePort(port);
        port->CloseTransport();
        if (pass == 2) return LF_OPEN_NO_ANSWER;
    }
}

int CVel_LF_SDKApp::ClosePort(int handle) {
    std::shared_ptr<CVel_RW_Port> port = Lookup(handle);
    // Only the caller that takes the port off the list closes it.
    if (!port || !RemovePort(port)) return -1;
    port->CloseTransport();
    return 0;
}

void CVel_LF_SDKApp::CloseAllPorts() {
    // The ports leave the list under the lock and close without it: closing pumps the
    // caller's event loop, and an Lf... call from a pumped event needs the list.
    std::list<std::shared_ptr<CVel_RW_Port>> ports;
    {
        std::lock_guard<std::mutex> guard(m_listLock);
        ports.swap(m_ports);
    }
    for (const std::shared_ptr<CVel_RW_Port>& port : ports) port->CloseTransport();
}

}  // namespace vellf
