// Datagrams of the LAN protocol as any host on the network may send them: the receive queue,
// the record fields and texts, and address texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "discovery/LanRecord.h"
#include "transport/TcpSocket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vellf::CTCPSocket socket;
    socket.m_localAddress = "10.99.1.1";
    const uint32_t sender = size >= 4 ? (uint32_t{data[0]} << 24 | data[1] << 16 | data[2] << 8 |
                                         data[3])
                                      : 0x0A630102u;
    socket.StoreDatagram(sender, data, size);
    uint8_t code = 0;
    std::string from;
    std::vector<uint8_t> body;
    if (socket.PopDatagram(code, from, body)) {
        (void)vellf::lan::SearchEntry(body, from);
        (void)vellf::lan::ModelText(body);
        if (body.size() >= vellf::lan::kNetworkRecordMin) {
            (void)vellf::lan::RecordDeviceName(body);
            (void)vellf::lan::RecordTcpPort(body);
            (void)vellf::lan::RecordHostBits(body);
            (void)vellf::lan::OctetsText(vellf::lan::RecordGateway(body));
            (void)vellf::lan::MaskOfHostBits(vellf::lan::RecordHostBits(body));
        }
    }
    const vellf::lan::AddressText parsed =
        vellf::lan::ParseAddressText(std::string(reinterpret_cast<const char*>(data), size));
    (void)vellf::lan::HostBitsOfMask(parsed.octets);
    return 0;
}
