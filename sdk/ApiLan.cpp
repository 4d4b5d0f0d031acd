// Network readers: search, ping, and reading and changing a module's network settings.
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "SdkApp.h"
#include "TextList.h"
#include "WaitHooks.h"
#include "discovery/LanConfigPort.h"
#include "discovery/LanProtocol.h"
#include "discovery/LanRecord.h"
#include "transport/TcpSocketThread.h"
#include "vellf.h"

using namespace vellf;

namespace {

constexpr int kSearchWindowMs = 500;
constexpr int kPingIntervalMs = 100;
constexpr int kPingLimitMs = 5000;
constexpr int kReopenAttempts = 21;
constexpr int kReopenIntervalMs = 100;
constexpr int kRecordWriteAttempts = 6;
constexpr int kRecordWriteIntervalMs = 500;

// Marks the whole call as busy for the application (wait cursor, main window disabled).
class BusyScope {
  public:
    BusyScope() : m_hooks(CurrentWaitHooks()) { m_hooks.Busy(true); }
    ~BusyScope() { m_hooks.Busy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    const WaitHooks& Hooks() const { return m_hooks; }

  private:
    WaitHooks m_hooks;
};

// Sleeps ms in short slices, pumping the hooks between them.
void PumpSleep(const WaitHooks& hooks, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        hooks.Pump();
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
    }
}

int FindLan(char* buffer, int size, bool readersOnly) {
    BusyScope busy;
    CTCPSocketThread worker(nullptr);
    std::vector<std::string> entries;
    lan::SearchAllAdapters(worker.m_socket, entries, kSearchWindowMs, readersOnly, busy.Hooks());
    return PackTextList(entries, buffer, size);
}

bool Ping(const std::string& requested) {
    std::string address = requested;
    int deviceAddress = 1;
    SplitDeviceAddress(address, deviceAddress);
    CTCPSocketThread worker(nullptr);
    const bool answered = worker.ConnectUdp(address);
    worker.m_socket.CloseDatagram();
    return answered;
}

void CopyText(char* out, const std::string& text) {
    if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
}

std::vector<uint8_t> ExtendedIpSetup(const std::vector<uint8_t>& mac, const lan::Octets& address,
                                     int port, const lan::Octets& mask, const lan::Octets& gateway,
                                     const std::string& name) {
    std::vector<uint8_t> payload(mac.begin(), mac.end());
    payload.insert(payload.end(), address.begin(), address.end());
    payload.push_back(static_cast<uint8_t>(port & 0xFF));
    payload.push_back(static_cast<uint8_t>(port >> 8 & 0xFF));
    payload.insert(payload.end(), mask.begin(), mask.end());
    payload.insert(payload.end(), gateway.begin(), gateway.end());
    std::string padded = name.substr(0, 16);
    padded.resize(16, '\0');
    payload.insert(payload.end(), padded.begin(), padded.end());
    return payload;
}

// The short form names the module by the last two bytes of its MAC address.
std::vector<uint8_t> ShortIpSetup(const std::vector<uint8_t>& mac, const lan::Octets& address) {
    std::vector<uint8_t> payload;
    payload.reserve(2 + address.size());
    payload.push_back(mac.at(4));
    payload.push_back(mac.at(5));
    for (uint8_t octet : address) payload.push_back(octet);
    return payload;
}

// What LfSetLanConfig asks for, parsed once.
struct NewSettings {
    lan::AddressText address;
    lan::Octets gateway{};
    bool maskGiven = false;
    int hostBits = 0;
};

void WriteSettings(std::vector<uint8_t>& record, const NewSettings& wanted) {
    std::copy(wanted.address.octets.begin(), wanted.address.octets.end(),
              record.begin() + lan::kIpAddressAt);
    if (wanted.maskGiven) record[lan::kHostBitsAt] = static_cast<uint8_t>(wanted.hostBits);
    std::copy(wanted.gateway.begin(), wanted.gateway.end(), record.begin() + lan::kGatewayAt);
    if (wanted.address.port != 0) {
        record[lan::kTcpPortAt] = static_cast<uint8_t>(wanted.address.port & 0xFF);
        record[lan::kTcpPortAt + 1] = static_cast<uint8_t>(wanted.address.port >> 8 & 0xFF);
    }
}

// A new device name goes into the network record's head and tail, and its tail also into
// record 3 when that has its usual size.
void WriteName(CTCPSocket& socket, std::vector<uint8_t>& record, const std::string& name,
               const WaitHooks& hooks) {
    std::string padded = name.substr(0, 16);
    padded.resize(17, '\0');
    std::copy(padded.begin(), padded.begin() + 8, record.begin() + lan::kNameHeadAt);
    std::copy(padded.begin() + 8, padded.begin() + 16, record.begin() + lan::kNameTailAt);
    std::vector<uint8_t> record3;
    if (lan::QueryRecord(socket, 3, record3, false, hooks) &&
        record3.size() == lan::kNameCopyRecordSize) {
        std::copy(padded.begin() + 8, padded.begin() + 16, record3.begin() + lan::kNameCopyAt);
        lan::WriteRecord(socket, 3, record3, hooks);
    }
}

int SetLanConfig(const std::string& address, const std::string& newAddress, const std::string& mask,
                 const std::string& gateway, const WaitHooks& hooks) {
    int handle = OpenLanConfigPort(address);
    if (handle < 0) return handle;

    NewSettings wanted;
    wanted.address = lan::ParseAddressText(newAddress);
    if (!gateway.empty()) wanted.gateway = lan::ParseAddressText(gateway).octets;
    wanted.maskGiven = !mask.empty();
    if (wanted.maskGiven) wanted.hostBits = lan::HostBitsOfMask(lan::ParseAddressText(mask).octets);

    int result = -1;
    std::vector<uint8_t> record;
    CTCPSocket* socket = LanConfigSocket(handle);
    if (socket != nullptr && lan::QueryRecord(*socket, 0, record, true, hooks) &&
        record.size() >= lan::kNetworkRecordMin) {
        const bool addressDiffers = wanted.address.octets != lan::RecordAddress(record);
        bool otherDiffers =
            (wanted.address.port != 0 && wanted.address.port != lan::RecordTcpPort(record)) ||
            (wanted.maskGiven && wanted.hostBits != lan::RecordHostBits(record)) ||
            wanted.gateway != lan::RecordGateway(record) ||
            (!wanted.address.name.empty() && wanted.address.name != lan::RecordDeviceName(record));
        result = 0;
        std::vector<uint8_t> info;
        const bool haveInfo =
            (addressDiffers || otherDiffers) && lan::QueryModuleInfo(*socket, info, hooks);
        // Without the module's information there is no IP-SETUP: an address change alone is
        // then not made, and saying otherwise would leave the caller at a wrong address.
        if (addressDiffers && !otherDiffers && !haveInfo) result = -1;
        if (haveInfo) {
            const std::vector<uint8_t> mac(info.begin() + lan::kModuleMacAt,
                                           info.begin() + lan::kModuleMacAt + lan::kMacSize);
            const std::string tag(info.begin() + lan::kModuleTagAt,
                                  info.begin() + lan::kModuleTagAt + lan::kModuleTagSize);
            bool sent = false;
            if (tag == "QOR" && otherDiffers) {
                const int port =
                    wanted.address.port != 0 ? wanted.address.port : lan::RecordTcpPort(record);
                const int hostBits =
                    wanted.maskGiven ? wanted.hostBits : lan::RecordHostBits(record);
                const std::string name = wanted.address.name.empty() ? lan::RecordDeviceName(record)
                                                                     : wanted.address.name;
                sent = lan::SendIpSetup(
                    *socket,
                    ExtendedIpSetup(mac, wanted.address.octets, port, lan::MaskOfHostBits(hostBits),
                                    wanted.gateway, name),
                    true);
                // The extended setup carries the other settings too: no record write follows.
                otherDiffers = false;
            } else {
                sent = lan::SendIpSetup(*socket, ShortIpSetup(mac, wanted.address.octets), false);
            }
            if (!sent) {
                // Nothing went out, so nothing changed.
                result = -1;
                otherDiffers = false;
            } else {
                CloseLanConfigPort(handle, false);
                handle = 0;
                socket = nullptr;
                // A module that takes longer to come back still counts as changed: modules
                // take seconds to restart, and callers wait longer on their own.
                const auto start = std::chrono::steady_clock::now();
                while (!Ping(newAddress) && std::chrono::steady_clock::now() - start <
                                                std::chrono::milliseconds(kPingLimitMs)) {
                    PumpSleep(hooks, kPingIntervalMs);
                }
                if (otherDiffers) {
                    for (int attempt = 1; attempt <= kReopenAttempts; ++attempt) {
                        handle = OpenLanConfigPort(newAddress);
                        if (handle > 0) break;
                        if (attempt < kReopenAttempts) PumpSleep(hooks, kReopenIntervalMs);
                    }
                    if (handle <= 0) return handle;
                    socket = LanConfigSocket(handle);
                }
            }
        }
        if (otherDiffers && socket != nullptr) {
            WriteSettings(record, wanted);
            if (!wanted.address.name.empty())
                WriteName(*socket, record, wanted.address.name, hooks);
            result = -1;
            for (int attempt = 1; attempt <= kRecordWriteAttempts; ++attempt) {
                if (lan::WriteRecord(*socket, 0, record, hooks)) {
                    result = 0;
                    break;
                }
                if (attempt < kRecordWriteAttempts) PumpSleep(hooks, kRecordWriteIntervalMs);
            }
        }
    }
    if (handle > 0) CloseLanConfigPort(handle, true);
    return result;
}

}  // namespace

extern "C" {

int LfFindLanReaders(char* buffer, int size) {
    return FindLan(buffer, size, true);
}

int LfFindLanDevices(char* buffer, int size) {
    return FindLan(buffer, size, false);
}

int LfPingLanReader(const char* address) {
    BusyScope busy;
    return Ping(address ? address : "") ? 1 : 0;
}

int LfGetLanConfig(const char* address, char* nameOut, char* addressOut, char* maskOut,
                   char* gatewayOut) {
    BusyScope busy;
    const int handle = OpenLanConfigPort(address ? address : "");
    if (handle < 0) return handle;
    std::vector<uint8_t> record;
    CTCPSocket* socket = LanConfigSocket(handle);
    const bool ok = socket != nullptr && lan::QueryRecord(*socket, 0, record, true, busy.Hooks()) &&
                    record.size() >= lan::kNetworkRecordMin;
    if (ok) {
        const lan::Octets ip = lan::RecordAddress(record);
        const int port = lan::RecordTcpPort(record);
        const std::string addressText =
            ip == lan::Octets{} ? "" : lan::OctetsText(ip) + "-" + std::to_string(port);
        const std::string nameText =
            "[" + lan::RecordDeviceName(record) + "]-" + std::to_string(port);
        CopyText(addressOut, addressText);
        // Without a name buffer, a DHCP module's address is its name.
        CopyText(nameOut != nullptr ? nameOut : (addressText.empty() ? addressOut : nullptr),
                 nameText);
        CopyText(maskOut, lan::OctetsText(lan::MaskOfHostBits(lan::RecordHostBits(record))));
        CopyText(gatewayOut, lan::OctetsText(lan::RecordGateway(record)));
    }
    CloseLanConfigPort(handle, false);
    return ok ? 0 : -1;
}

int LfSetLanConfig(const char* address, const char* newAddress, const char* mask,
                   const char* gateway) {
    BusyScope busy;
    return SetLanConfig(address ? address : "", newAddress ? newAddress : "", mask ? mask : "",
                        gateway ? gateway : "", busy.Hooks());
}

}  // extern "C"
