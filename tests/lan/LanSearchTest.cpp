// Finding readers and devices on the station's adapters, and what malformed replies do.
#include <gtest/gtest.h>

#include <iostream>

#include "LanNetwork.h"
#include "vellf.h"

using namespace lantest;

namespace {

class LanSearch : public ::testing::Test {
  protected:
    void SetUp() override { ResetNetwork(); }

    static std::vector<std::string> Readers() {
        char buffer[1024];
        return Entries(buffer, LfFindLanReaders(buffer, sizeof buffer));
    }
    static std::vector<std::string> Devices() {
        char buffer[1024];
        return Entries(buffer, LfFindLanDevices(buffer, sizeof buffer));
    }
    static bool Contains(const std::vector<std::string>& list, const std::string& entry) {
        return std::find(list.begin(), list.end(), entry) != list.end();
    }
};

TEST_F(LanSearch, AnEmptyNetworkTakesHalfASecondPerAdapter) {
    for (const Module* module : {&kReaderA, &kReaderB, &kReaderC}) {
        ExpectOk(*module, "udp-silent on");
    }
    char buffer[64] = {'x', 'x'};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfFindLanReaders(buffer, sizeof buffer), 1);
    const double readers = MillisecondsSince(start);
    EXPECT_EQ(buffer[0], 0);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfFindLanDevices(buffer, sizeof buffer), 1);
    const double devices = MillisecondsSince(start);
    for (double ms : {readers, devices}) {
        EXPECT_GE(ms, kAdapters * 500.0);
        EXPECT_LT(ms, kAdapters * 650.0);
    }
    std::cout << "[ measure  ] empty search: " << readers / kAdapters << " ms per adapter\n";
}

TEST_F(LanSearch, ListsEveryReaderOnceInByteOrder) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> readers = Readers();
    std::cout << "[ measure  ] reader search with 3 readers: "
              << MillisecondsSince(start) / kAdapters << " ms per adapter\n";
    // Reader A is heard on two adapters; C is a DHCP reader, listed by its name alone.
    EXPECT_EQ(readers,
              (std::vector<std::string>{"10.99.1.2-10001", "10.99.2.2-10001", "[HALLE-1]"}));
    const auto deviceStart = std::chrono::steady_clock::now();
    EXPECT_EQ(Devices(), (std::vector<std::string>{"10.99.1.2-10001", "10.99.2.2-10001",
                                                   "[HALLE-1]10.99.1.3-10001"}));
    std::cout << "[ measure  ] device search with 3 devices: "
              << MillisecondsSince(deviceStart) / kAdapters << " ms per adapter\n";
}

TEST_F(LanSearch, KeepsForeignDevicesOutOfTheReaderList) {
    ExpectOk(kReaderB, "net-set model=XPORT-AR");
    EXPECT_EQ(Readers(), (std::vector<std::string>{"10.99.1.2-10001", "[HALLE-1]"}));
    EXPECT_TRUE(Contains(Devices(), "10.99.2.2-10001"));
    // A model record too short to hold the model text does not make a reader either.
    ExpectOk(kReaderB, "net-set model=VEL-LAN");
    ExpectOk(kReaderB, "udp-length 2 125");
    EXPECT_FALSE(Contains(Readers(), "10.99.2.2-10001"));
    // A model text that runs to the record's end without a zero is read up to that end.
    ExpectOk(kReaderB, "udp-length 2 off");
    ExpectOk(kReaderB, "net-set model=VEL-" + std::string(40, 'X'));
    EXPECT_TRUE(Contains(Readers(), "10.99.2.2-10001"));
}

TEST_F(LanSearch, TakesNetworkRecordsOf120BytesOrMore) {
    ExpectOk(kReaderB, "udp-length 0 119");
    EXPECT_FALSE(Contains(Devices(), "10.99.2.2-10001"));
    ExpectOk(kReaderB, "udp-length 0 120");
    EXPECT_TRUE(Contains(Devices(), "10.99.2.2-10001"));
}

TEST_F(LanSearch, SurvivesMalformedAndFloodingReplies) {
    // Every reply comes after fragments too short for a code, a bare header, records one byte
    // short and foreign codes: forty of them from each module, a burst that still fits the
    // station's socket buffer (a larger one loses the real reply, as UDP may).
    for (const Module* module : {&kReaderA, &kReaderB, &kReaderC}) {
        ExpectOk(*module, "udp-garbage 0102");
        ExpectOk(*module, "udp-flood 40");
    }
    ExpectOk(kReaderA, "udp-length 2 126");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Readers(),
              (std::vector<std::string>{"10.99.1.2-10001", "10.99.2.2-10001", "[HALLE-1]"}));
    EXPECT_LT(MillisecondsSince(start), 15000.0);
    char name[32], address[32], mask[32], gateway[32];
    EXPECT_EQ(LfGetLanConfig("10.99.1.2", name, address, mask, gateway), 0);
    EXPECT_STREQ(name, "[LAGER-A]-10001");
    EXPECT_EQ(LfPingLanReader("10.99.2.2"), 1);
}

TEST_F(LanSearch, PacksTheListIntoTheCallersBuffer) {
    ExpectOk(kReaderB, "udp-silent on");
    ExpectOk(kReaderC, "udp-silent on");
    char buffer[32];
    const std::string entry = "10.99.1.2-10001";
    EXPECT_EQ(LfFindLanDevices(buffer, static_cast<int>(entry.size()) + 2),
              static_cast<int>(entry.size()) + 2);
    EXPECT_EQ(std::string(buffer), entry);
    EXPECT_EQ(buffer[entry.size() + 1], 0);
    EXPECT_EQ(LfFindLanDevices(buffer, static_cast<int>(entry.size()) + 1), 1);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(LfFindLanDevices(nullptr, 0), 0);
}

TEST_F(LanSearch, PingsReadersByAddressAndName) {
    EXPECT_EQ(LfPingLanReader("10.99.1.2"), 1);
    EXPECT_EQ(LfPingLanReader("10.99.2.2-10001:3"), 1);
    EXPECT_EQ(LfPingLanReader("[HALLE-1]"), 1);
    EXPECT_EQ(LfPingLanReader("10.99.1.99"), 0);
    EXPECT_EQ(LfPingLanReader("[NIEMAND]"), 0);
}

}  // namespace
