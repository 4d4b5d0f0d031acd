// The record store of the simulated network module: sixteen records (record 0 holds the
// network settings, record 2 the model text, record 3 a copy of the name's tail) and the
// module information (identity tag and MAC address). Not thread-safe on its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vsim {

struct NetSettings {
    uint32_t address = 0;  // host order; 0 = DHCP
    int hostBits = 8;
    uint32_t gateway = 0;
    uint16_t tcpPort = 10001;
    std::string name;  // up to 16 characters
};

class NetModuleRecords {
  public:
    static constexpr size_t kRecordCount = 16;
    static constexpr size_t kNetworkRecordSize = 128;
    static constexpr size_t kRecordSize = 126;
    static constexpr size_t kModuleInfoSize = 30;

    NetModuleRecords();

    NetSettings Settings() const;
    void SetSettings(const NetSettings& settings);
    // The model text of record 2, zero-terminated when it leaves room (a text that reaches the
    // record's end has no zero).
    void SetModel(const std::string& model);
    std::string Model() const;
    void SetMac(const std::array<uint8_t, 6>& mac);
    std::array<uint8_t, 6> Mac() const;
    void SetTag(const std::string& tag);  // three characters
    std::string Tag() const;
    // The name tail kept in record 3.
    std::string NameCopy() const;

    const std::vector<uint8_t>& Record(size_t n) const { return m_records.at(n); }
    // Replaces record n (a network record shorter than its minimum is refused).
    bool StoreRecord(size_t n, const std::vector<uint8_t>& record);
    const std::vector<uint8_t>& ModuleInfo() const { return m_info; }

  private:
    std::array<std::vector<uint8_t>, kRecordCount> m_records;
    std::vector<uint8_t> m_info;
};

// Dotted text <-> host-order IPv4; false/empty for anything else.
bool ParseAddress(const std::string& text, uint32_t& address);
std::string AddressText(uint32_t address);

}  // namespace vsim
