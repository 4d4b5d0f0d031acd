// The LAN configuration protocol's datagrams and records: codes, field offsets, the texts
// built from them and the parsing of network address texts. Every reader of a record checks
// its size first; nothing here reads past the bytes it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vellf::lan {

// Request and reply codes (header byte 3).
constexpr uint8_t kReadNetworkRecord = 0xF8;
constexpr uint8_t kNetworkRecordReply = 0xF9;
constexpr uint8_t kReadRecordBase = 0xE0;   // + record number 1..15
constexpr uint8_t kRecordReplyBase = 0xD0;  // + record number
constexpr uint8_t kWriteNetworkRecord = 0xFD;
constexpr uint8_t kWriteNetworkReply = 0xFB;
constexpr uint8_t kWriteRecordBase = 0xC0;
constexpr uint8_t kWriteReplyBase = 0xB0;
constexpr uint8_t kReadModuleInfo = 0xF6;
constexpr uint8_t kModuleInfoReply = 0xF7;
constexpr uint8_t kIpSetup = 0xFC;
constexpr uint8_t kApply = 0x03;
constexpr size_t kHeaderSize = 4;

// Network record (record 0).
constexpr size_t kNetworkRecordMin = 120;
constexpr size_t kIpAddressAt = 0;
constexpr size_t kHostBitsAt = 6;
constexpr size_t kGatewayAt = 12;
constexpr size_t kTcpPortAt = 20;
constexpr size_t kNameTailAt = 84;
constexpr size_t kNameHeadAt = 112;
constexpr size_t kNamePartSize = 8;
// Model record (record 2): a zero-terminated model text.
constexpr size_t kModelRecordMin = 126;
constexpr size_t kModelTextAt = 93;
// Record 3 keeps a second copy of the name's tail.
constexpr size_t kNameCopyRecordSize = 126;
constexpr size_t kNameCopyAt = 102;
// Module information.
constexpr size_t kModuleInfoMin = 26;
constexpr size_t kModuleTagAt = 11;
constexpr size_t kModuleTagSize = 3;
constexpr size_t kModuleMacAt = 20;
constexpr size_t kMacSize = 6;

using Octets = std::array<uint8_t, 4>;

// A request header: 00, byte1, 00, code.
std::vector<uint8_t> Header(uint8_t code, uint8_t byte1);

// Fields of a network record; the record must hold kNetworkRecordMin bytes.
Octets RecordAddress(const std::vector<uint8_t>& record);
Octets RecordGateway(const std::vector<uint8_t>& record);
int RecordHostBits(const std::vector<uint8_t>& record);
int RecordTcpPort(const std::vector<uint8_t>& record);
// "%.8s%.8s" of the name's head and tail.
std::string RecordDeviceName(const std::vector<uint8_t>& record);

// "%d.%d.%d.%d".
std::string OctetsText(const Octets& octets);

// The search list entry of a network record received from sender: "a.b.c.d-p" when the
// device answers from its record's address, else "[name]" + sender + "-p".
std::string SearchEntry(const std::vector<uint8_t>& record, const std::string& sender);

// The model text of a model record, from its offset up to a zero byte or the record's end.
std::string ModelText(const std::vector<uint8_t>& record);

// Mask bits: zero bits at the low end of a mask (32 for 0.0.0.0), and back.
int HostBitsOfMask(const Octets& mask);
Octets MaskOfHostBits(int hostBits);

// A network address text: a.b.c.d, a.b.c.d-p, [name], [name]...-p. Missing parts stay zero or
// empty.
struct AddressText {
    Octets octets{};
    int port = 0;
    std::string name;
};
AddressText ParseAddressText(const std::string& text);

}  // namespace vellf::lan
