#include "discovery/LanRecord.h"

#include <cstdlib>

namespace vellf::lan {

namespace {

Octets OctetsAt(const std::vector<uint8_t>& record, size_t offset) {
    Octets octets{};
    for (size_t i = 0; i < octets.size() && offset + i < record.size(); ++i) {
        octets[i] = record[offset + i];
    }
    return octets;
}

// "%.8s" of a zero-padded field: up to a zero byte, at most the field's size.
std::string FieldText(const std::vector<uint8_t>& record, size_t offset, size_t size) {
    std::string text;
    for (size_t i = offset; i < offset + size && i < record.size() && record[i] != 0; ++i) {
        text += static_cast<char>(record[i]);
    }
    return text;
}

// The decimal number at pos as atoi reads it, kept to the low byte for an octet.
long NumberAt(const std::string& text, size_t pos) {
    if (pos >= text.size()) return 0;
    return std::strtol(text.c_str() + pos, nullptr, 10);
}

int PortAt(const std::string& text, size_t pos) {
    const long value = NumberAt(text, pos);
    return static_cast<int>(value & 0xFFFF);
}

}  // namespace

std::vector<uint8_t> Header(uint8_t code, uint8_t byte1) {
    return {0x00, byte1, 0x00, code};
}

Octets RecordAddress(const std::vector<uint8_t>& record) {
    return OctetsAt(record, kIpAddressAt);
}

Octets RecordGateway(const std::vector<uint8_t>& record) {
    return OctetsAt(record, kGatewayAt);
}

int RecordHostBits(const std::vector<uint8_t>& record) {
    return kHostBitsAt < record.size() ? record[kHostBitsAt] : 0;
}

int RecordTcpPort(const std::vector<uint8_t>& record) {
    if (kTcpPortAt + 1 >= record.size()) return 0;
    return record[kTcpPortAt] | record[kTcpPortAt + 1] << 8;
}

std::string RecordDeviceName(const std::vector<uint8_t>& record) {
    return FieldText(record, kNameHeadAt, kNamePartSize) +
           FieldText(record, kNameTailAt, kNamePartSize);
}

std::string OctetsText(const Octets& octets) {
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

std::string SearchEntry(const std::vector<uint8_t>& record, const std::string& sender) {
    const std::string port = "-" + std::to_string(RecordTcpPort(record));
    const std::string address = OctetsText(RecordAddress(record));
    if (address == sender) return address + port;
    return "[" + RecordDeviceName(record) + "]" + sender + port;
}

std::string ModelText(const std::vector<uint8_t>& record) {
    if (record.size() <= kModelTextAt) return {};
    return FieldText(record, kModelTextAt, record.size() - kModelTextAt);
}

int HostBitsOfMask(const Octets& mask) {
    const uint32_t value =
        static_cast<uint32_t>(mask[0]) << 24 | mask[1] << 16 | mask[2] << 8 | mask[3];
    int bits = 0;
    while (bits < 32 && (value >> bits & 1) == 0) ++bits;
    return bits;
}

Octets MaskOfHostBits(int hostBits) {
    const uint32_t value =
        hostBits >= 32 || hostBits < 0 ? 0 : static_cast<uint32_t>(0xFFFFFFFFull << hostBits);
    return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

AddressText ParseAddressText(const std::string& text) {
    AddressText parsed;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        parsed.name = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos) {
            const size_t dash = text.find('-', close);
            if (dash != std::string::npos) parsed.port = PortAt(text, dash + 1);
        }
        return parsed;
    }
    const size_t first = text.find('.');
    if (first == std::string::npos || first == 0) return parsed;
    const size_t second = text.find('.', first + 1);
    if (second == std::string::npos) return parsed;
    const size_t third = text.find('.', second + 1);
    if (third == std::string::npos) return parsed;
    const size_t starts[4] = {0, first + 1, second + 1, third + 1};
    for (size_t i = 0; i < 4; ++i) {
        parsed.octets[i] = static_cast<uint8_t>(NumberAt(text, starts[i]) & 0xFF);
    }
    const size_t dash = text.find('-', third);
    if (dash != std::string::npos) parsed.port = PortAt(text, dash + 1);
    return parsed;
}

}  // namespace vellf::lan
