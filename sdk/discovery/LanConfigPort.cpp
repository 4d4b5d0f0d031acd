#include "discovery/LanConfigPort.h"

#include <map>
#include <mutex>

#include "SdkApp.h"
#include "discovery/LanProtocol.h"
#include "transport/TcpSocketThread.h"

namespace vellf {

namespace {

// Configuration ports never carry reader frames, so they are kept apart from the reader ports;
// their numbers come from the same TCP range.
struct ConfigPorts {
    std::mutex lock;
    std::map<int, std::shared_ptr<CVel_RW_Port>> ports;
};

ConfigPorts& Ports() {
    static auto* ports = new ConfigPorts;  // outlives ports closed during exit
    return *ports;
}

std::shared_ptr<CVel_RW_Port> Find(int handle) {
    std::lock_guard<std::mutex> guard(Ports().lock);
    const auto it = Ports().ports.find(handle);
    return it == Ports().ports.end() ? nullptr : it->second;
}

}  // namespace

int OpenLanConfigPort(const std::string& requested) {
    auto port = std::make_shared<CVel_RW_Port>();
    std::string address = requested;
    int deviceAddress = 1;
    SplitDeviceAddress(address, deviceAddress);
    CTCPSocketThread& worker = port->TcpWorker();
    if (!worker.ConnectUdp(address)) return -1;
    const int handle = worker.TcpNumber();
    std::lock_guard<std::mutex> guard(Ports().lock);
    Ports().ports[handle] = std::move(port);
    return handle;
}

bool CloseLanConfigPort(int handle, bool apply) {
    std::shared_ptr<CVel_RW_Port> port;
    {
        std::lock_guard<std::mutex> guard(Ports().lock);
        const auto it = Ports().ports.find(handle);
        if (it == Ports().ports.end()) return false;
        port = std::move(it->second);
        Ports().ports.erase(it);
    }
    CTCPSocket& socket = port->TcpWorker().m_socket;
    if (apply) lan::SendApply(socket);
    socket.CloseDatagram();
    return true;
}

CTCPSocket* LanConfigSocket(int handle) {
    std::shared_ptr<CVel_RW_Port> port = Find(handle);
    // The registry keeps the port alive until CloseLanConfigPort on the same thread.
    return port ? &port->TcpWorker().m_socket : nullptr;
}

}  // namespace vellf
