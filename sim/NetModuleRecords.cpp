#include "NetModuleRecords.h"

#include <arpa/inet.h>

#include <algorithm>

namespace vsim {

namespace {

// Record offsets as the module's firmware keeps them.
constexpr size_t kIpAddressAt = 0;
constexpr size_t kHostBitsAt = 6;
constexpr size_t kGatewayAt = 12;
constexpr size_t kTcpPortAt = 20;
constexpr size_t kNameTailAt = 84;
constexpr size_t kNameHeadAt = 112;
constexpr size_t kModelTextAt = 93;
constexpr size_t kNameCopyAt = 102;
constexpr size_t kNetworkRecordMin = 120;
constexpr size_t kTagAt = 11;
constexpr size_t kMacAt = 20;

void PutAddress(std::vector<uint8_t>& record, size_t at, uint32_t address) {
    for (size_t i = 0; i < 4; ++i) record[at + i] = static_cast<uint8_t>(address >> (24 - 8 * i));
}

uint32_t GetAddress(const std::vector<uint8_t>& record, size_t at) {
    return static_cast<uint32_t>(record[at]) << 24 | record[at + 1] << 16 | record[at + 2] << 8 |
           record[at + 3];
}

std::string Field(const std::vector<uint8_t>& record, size_t at, size_t size) {
    std::string text;
    for (size_t i = at; i < at + size && i < record.size() && record[i] != 0; ++i) {
        text += static_cast<char>(record[i]);
    }
    return text;
}

void PutField(std::vector<uint8_t>& record, size_t at, const std::string& text, size_t size) {
    for (size_t i = 0; i < size; ++i) record[at + i] = i < text.size() ? text[i] : 0;
}

}  // namespace

bool ParseAddress(const std::string& text, uint32_t& address) {
    in_addr parsed{};
    if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    address = ntohl(parsed.s_addr);
    return true;
}

std::string AddressText(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

NetModuleRecords::NetModuleRecords() {
    for (auto& record : m_records) record.assign(kRecordSize, 0);
    m_records[0].assign(kNetworkRecordSize, 0);
    m_info.assign(kModuleInfoSize, 0);
    SetSettings(NetSettings{});
    SetModel("VEL-LAN 2430");
    SetMac({0x00, 0x20, 0x4A, 0x51, 0x52, 0x53});
    SetTag("QOR");
}

NetSettings NetModuleRecords::Settings() const {
    const std::vector<uint8_t>& record = m_records[0];
    NetSettings settings;
    settings.address = GetAddress(record, kIpAddressAt);
    settings.hostBits = record[kHostBitsAt];
    settings.gateway = GetAddress(record, kGatewayAt);
    settings.tcpPort = static_cast<uint16_t>(record[kTcpPortAt] | record[kTcpPortAt + 1] << 8);
    settings.name = Field(record, kNameHeadAt, 8) + Field(record, kNameTailAt, 8);
    return settings;
}

void NetModuleRecords::SetSettings(const NetSettings& settings) {
    std::vector<uint8_t>& record = m_records[0];
    PutAddress(record, kIpAddressAt, settings.address);
    record[kHostBitsAt] = static_cast<uint8_t>(settings.hostBits);
    PutAddress(record, kGatewayAt, settings.gateway);
    record[kTcpPortAt] = static_cast<uint8_t>(settings.tcpPort & 0xFF);
    record[kTcpPortAt + 1] = static_cast<uint8_t>(settings.tcpPort >> 8);
    const std::string name = settings.name.substr(0, 16);
    PutField(record, kNameHeadAt, name.substr(0, std::min<size_t>(8, name.size())), 8);
    PutField(record, kNameTailAt, name.size() > 8 ? name.substr(8) : "", 8);
    if (m_records[3].size() >= kNameCopyAt + 8) {
        PutField(m_records[3], kNameCopyAt, name.size() > 8 ? name.substr(8) : "", 8);
    }
}

void NetModuleRecords::SetModel(const std::string& model) {
    std::vector<uint8_t>& record = m_records[2];
    for (size_t i = kModelTextAt; i < record.size(); ++i) {
        const size_t at = i - kModelTextAt;
        record[i] = at < model.size() ? static_cast<uint8_t>(model[at]) : 0;
    }
}

std::string NetModuleRecords::Model() const {
    return Field(m_records[2], kModelTextAt, m_records[2].size() - kModelTextAt);
}

void NetModuleRecords::SetMac(const std::array<uint8_t, 6>& mac) {
    std::copy(mac.begin(), mac.end(), m_info.begin() + kMacAt);
}

std::array<uint8_t, 6> NetModuleRecords::Mac() const {
    std::array<uint8_t, 6> mac{};
    std::copy(m_info.begin() + kMacAt, m_info.begin() + kMacAt + 6, mac.begin());
    return mac;
}

void NetModuleRecords::SetTag(const std::string& tag) {
    PutField(m_info, kTagAt, tag, 3);
}

std::string NetModuleRecords::Tag() const {
    return Field(m_info, kTagAt, 3);
}

std::string NetModuleRecords::NameCopy() const {
    return m_records[3].size() >= kNameCopyAt + 8 ? Field(m_records[3], kNameCopyAt, 8) : "";
}

bool NetModuleRecords::StoreRecord(size_t n, const std::vector<uint8_t>& record) {
    if (n >= kRecordCount) return false;
    if (n == 0 && record.size() < kNetworkRecordMin) return false;
    // Record 2 keeps room for its model text.
    if (n == 2 && record.size() <= kModelTextAt) return false;
    m_records[n] = record;
    return true;
}

}  // namespace vsim
