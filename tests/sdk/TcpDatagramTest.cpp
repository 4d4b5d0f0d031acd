// The datagram side of the network socket without any network traffic: what the receive path
// keeps, what the LAN records yield, how address texts and masks are read, and how adapters
// are chosen in turn.
#include <gtest/gtest.h>

#include "discovery/LanRecord.h"
#include "transport/TcpSocket.h"

using namespace vellf;

namespace {

std::vector<uint8_t> NetworkRecord(lan::Octets address, int port, const std::string& head,
                                   const std::string& tail, size_t size = 120) {
    std::vector<uint8_t> record(size, 0);
    std::copy(address.begin(), address.end(), record.begin());
    record[lan::kTcpPortAt] = static_cast<uint8_t>(port);
    record[lan::kTcpPortAt + 1] = static_cast<uint8_t>(port >> 8);
    std::copy(head.begin(), head.end(), record.begin() + lan::kNameHeadAt);
    std::copy(tail.begin(), tail.end(), record.begin() + lan::kNameTailAt);
    return record;
}

TEST(TcpDatagram, KeepsDatagramsThatHoldAReplyCodeAndAreNotItsOwn) {
    CTCPSocket socket;
    socket.m_localAddress = "10.99.1.1";
    const uint8_t reply[] = {0x00, 0x00, 0x00, 0xF9, 0x11, 0x22};
    socket.StoreDatagram(0x0A630102, reply, 3);             // too short for a code
    socket.StoreDatagram(0x0A630101, reply, sizeof reply);  // our own broadcast
    socket.StoreDatagram(0x0A630102, reply, 4);
    socket.StoreDatagram(0x0A630103, reply, sizeof reply);

    uint8_t code = 0;
    std::string sender;
    std::vector<uint8_t> body{1, 2, 3};
    ASSERT_TRUE(socket.PopDatagram(code, sender, body));
    EXPECT_EQ(code, 0xF9);
    EXPECT_EQ(sender, "10.99.1.2");
    EXPECT_TRUE(body.empty());
    ASSERT_TRUE(socket.PopDatagram(code, sender, body));
    EXPECT_EQ(sender, "10.99.1.3");
    EXPECT_EQ(body, (std::vector<uint8_t>{0x11, 0x22}));
    EXPECT_FALSE(socket.PopDatagram(code, sender, body));
}

TEST(TcpDatagram, BuildsSearchEntriesFromTheNetworkRecord) {
    const auto fixed = NetworkRecord({10, 99, 1, 2}, 10001, "LAGER", "");
    EXPECT_EQ(lan::SearchEntry(fixed, "10.99.1.2"), "10.99.1.2-10001");
    // A DHCP device: a full 8-character head has no zero; the tail ends the name.
    const auto dhcp = NetworkRecord({0, 0, 0, 0}, 4001, "HALLE-1", "");
    EXPECT_EQ(lan::SearchEntry(dhcp, "10.99.1.3"), "[HALLE-1]10.99.1.3-4001");
    const auto longName = NetworkRecord({0, 0, 0, 0}, 10001, "ABCDEFGH", "IJKLMNOP");
    EXPECT_EQ(lan::RecordDeviceName(longName), "ABCDEFGHIJKLMNOP");
    // Bytes right behind the name fields are not part of the name, nor bytes behind a zero.
    auto followed = NetworkRecord({0, 0, 0, 0}, 10001, "ABCDEFGH", "IJKLMNOP", 126);
    followed[lan::kNameHeadAt + lan::kNamePartSize] = 'X';
    followed[lan::kNameTailAt + lan::kNamePartSize] = 'Y';
    EXPECT_EQ(lan::RecordDeviceName(followed), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(lan::SearchEntry(followed, "10.99.1.3"), "[ABCDEFGHIJKLMNOP]10.99.1.3-10001");
    auto shortHead = NetworkRecord({0, 0, 0, 0}, 10001, std::string("HALLE\0ZZ", 8), "", 126);
    shortHead[lan::kNameHeadAt + lan::kNamePartSize] = 'X';
    EXPECT_EQ(lan::RecordDeviceName(shortHead), "HALLE");
    // Records too short for a field read as zero rather than past their end.
    EXPECT_EQ(lan::RecordTcpPort(std::vector<uint8_t>(21, 0xFF)), 0);
    EXPECT_EQ(lan::RecordDeviceName(std::vector<uint8_t>(90, 'A')), "AAAAAA");
}

TEST(TcpDatagram, ReadsTheModelTextWithinTheRecord) {
    std::vector<uint8_t> record(126, 0);
    const std::string model = "vel-lan 2430";
    std::copy(model.begin(), model.end(), record.begin() + lan::kModelTextAt);
    EXPECT_EQ(lan::ModelText(record), "vel-lan 2430");
    // No zero before the end: the text ends with the record.
    std::fill(record.begin() + lan::kModelTextAt, record.end(), 'X');
    EXPECT_EQ(lan::ModelText(record), std::string(126 - lan::kModelTextAt, 'X'));
    EXPECT_EQ(lan::ModelText(std::vector<uint8_t>(93, 'X')), "");
}

TEST(TcpDatagram, ParsesAddressTexts) {
    struct Case {
        std::string text;
        lan::Octets octets;
        int port;
        std::string name;
    };
    const Case cases[] = {
        {"10.99.1.2", {10, 99, 1, 2}, 0, ""},
        {"10.99.1.2-4001", {10, 99, 1, 2}, 4001, ""},
        {"[HALLE-1]", {}, 0, "HALLE-1"},
        {"[HALLE-1]10.99.1.3-10002", {}, 10002, "HALLE-1"},
        {"[OPEN", {}, 0, "OPEN"},
        {"10.99.1", {}, 0, ""},
        {".1.2.3", {}, 0, ""},
        {"", {}, 0, ""},
    };
    for (const Case& c : cases) {
        const lan::AddressText parsed = lan::ParseAddressText(c.text);
        EXPECT_EQ(parsed.octets, c.octets) << c.text;
        EXPECT_EQ(parsed.port, c.port) << c.text;
        EXPECT_EQ(parsed.name, c.name) << c.text;
    }
}

TEST(TcpDatagram, CountsHostBitsOfMasks) {
    EXPECT_EQ(lan::HostBitsOfMask({255, 255, 0, 0}), 16);
    EXPECT_EQ(lan::HostBitsOfMask({0, 0, 0, 0}), 32);
    EXPECT_EQ(lan::HostBitsOfMask({255, 255, 255, 0}), 8);
    EXPECT_EQ(lan::HostBitsOfMask({255, 255, 255, 255}), 0);
    EXPECT_EQ(lan::OctetsText(lan::MaskOfHostBits(8)), "255.255.255.0");
    EXPECT_EQ(lan::OctetsText(lan::MaskOfHostBits(32)), "0.0.0.0");
    EXPECT_EQ(lan::OctetsText(lan::MaskOfHostBits(200)), "0.0.0.0");
}

TEST(TcpDatagram, ChoosesAdaptersInTurn) {
    CTCPSocket socket;
    EXPECT_FALSE(socket.SelectFirstAdapter());
    EXPECT_FALSE(socket.SelectNextAdapter());
    socket.m_adapters = {{"10.99.1.1", "255.255.255.0", 5}, {"10.99.2.1", "255.255.0.0", 6}};
    EXPECT_TRUE(socket.SelectNextAdapter());  // none chosen yet: the first
    EXPECT_EQ(socket.m_localAddress, "10.99.1.1");
    EXPECT_TRUE(socket.SelectNextAdapter());
    EXPECT_EQ(socket.m_localAddress, "10.99.2.1");
    EXPECT_FALSE(socket.SelectNextAdapter());
    EXPECT_TRUE(socket.SelectFirstAdapter());
    EXPECT_EQ(socket.m_localAddress, "10.99.1.1");

    EXPECT_TRUE(CTCPSocket::SameSubnet(socket.m_adapters[0], "10.99.1.77"));
    EXPECT_FALSE(CTCPSocket::SameSubnet(socket.m_adapters[0], "10.99.2.77"));
    EXPECT_TRUE(CTCPSocket::SameSubnet(socket.m_adapters[1], "10.99.200.1"));
}

}  // namespace
