// Reading and changing a module's network settings: through IP-SETUP (with the wait until the
// module answers again) or through record writes and the apply command.
#include <gtest/gtest.h>

#include <iostream>

#include "LanNetwork.h"
#include "vellf.h"

using namespace lantest;

namespace {

class LanConfig : public ::testing::Test {
  protected:
    void SetUp() override { ResetNetwork(); }
    void TearDown() override { ResetNetwork(); }

    static std::string Show(const Module& module) { return Control(module, "net-show"); }
    static bool VersionOverTcp(const std::string& name) {
        const int handle = LfOpenPort(name.c_str(), 9600, 0, 500);
        if (handle <= 0) return false;
        unsigned char reply[8];
        const bool answered = LfGetVersion(handle, reply, sizeof reply, nullptr, 0) == 4;
        LfClosePort(handle);
        return answered;
    }
};

TEST_F(LanConfig, ReadsTheSettingsOfAFixedAddressModule) {
    char name[32], address[32], mask[32], gateway[32];
    ASSERT_EQ(LfGetLanConfig("10.99.1.2", name, address, mask, gateway), 0);
    EXPECT_STREQ(name, "[LAGER-A]-10001");
    EXPECT_STREQ(address, "10.99.1.2-10001");
    EXPECT_STREQ(mask, "255.255.255.0");
    EXPECT_STREQ(gateway, "10.99.1.254");
    EXPECT_EQ(LfGetLanConfig("10.99.1.99", name, address, mask, gateway), -1);
    // A network record one byte short is no answer.
    ExpectOk(kReaderA, "udp-length 0 119");
    EXPECT_EQ(LfGetLanConfig("10.99.1.2", name, address, mask, gateway), -1);
}

TEST_F(LanConfig, GivesADhcpModulesNameAsItsAddress) {
    char address[32], mask[32], gateway[32];
    ASSERT_EQ(LfGetLanConfig("[HALLE-1]", nullptr, address, mask, gateway), 0);
    EXPECT_STREQ(address, "[HALLE-1]-10001");
    EXPECT_STREQ(gateway, "0.0.0.0");
    EXPECT_EQ(LfGetLanConfig("[HALLE-1]", nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(LanConfig, SendsOnlyTheApplyCommandForUnchangedSettings) {
    EXPECT_EQ(LfSetLanConfig("10.99.1.2", "10.99.1.2-10001", "255.255.255.0", "10.99.1.254"), 0);
    // The port search and the record read, then the apply command: nothing is written. A late
    // broadcast of an earlier search may add one more search request in front.
    const std::string requests = RequestsOnceSeen(kReaderA, " F8 F8 03");
    EXPECT_TRUE(requests.ends_with(" F8 F8 03")) << requests;
    for (const char* write : {"F6", "FC", "FD"}) {
        EXPECT_EQ(requests.find(write), std::string::npos) << requests;
    }
}

TEST_F(LanConfig, ChangesTheAddressThroughIpSetupAndWaitsForTheModule) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(LfSetLanConfig("10.99.1.2", "10.99.1.20", "255.255.255.0", "10.99.1.254"), 0);
    std::cout << "[ measure  ] address change: " << MillisecondsSince(start) << " ms\n";
    EXPECT_EQ(Control(kReaderA, "udp-requests").rfind("OK F8 F8 F6 FC F8", 0), 0u);
    EXPECT_NE(Show(kReaderA).find("ip=10.99.1.20 "), std::string::npos) << Show(kReaderA);
    char name[32], address[32], mask[32], gateway[32];
    ASSERT_EQ(LfGetLanConfig("10.99.1.20", name, address, mask, gateway), 0);
    EXPECT_STREQ(address, "10.99.1.20-10001");
    EXPECT_EQ(LfPingLanReader("10.99.1.2"), 0);
    EXPECT_TRUE(VersionOverTcp("10.99.1.20"));
}

TEST_F(LanConfig, ChangesEverythingThroughExtendedIpSetupOnItsOwnModules) {
    ASSERT_EQ(LfSetLanConfig("10.99.1.2", "10.99.1.20-10002", "255.255.0.0", "10.99.1.253"), 0);
    EXPECT_EQ(Control(kReaderA, "udp-requests").find("FD"), std::string::npos);
    EXPECT_NE(Show(kReaderA).find("ip=10.99.1.20 bits=16 gw=10.99.1.253 port=10002 name=LAGER-A"),
              std::string::npos)
        << Show(kReaderA);
    EXPECT_TRUE(VersionOverTcp("10.99.1.20-10002"));
}

TEST_F(LanConfig, ChangesPortMaskAndGatewayThroughRecordWrites) {
    ExpectOk(kReaderA, "net-set tag=XPT");  // not our own module: no extended IP-SETUP
    ASSERT_EQ(LfSetLanConfig("10.99.1.2", "10.99.1.2-10002", "255.255.0.0", "10.99.1.253"), 0);
    const std::string requests = RequestsOnceSeen(kReaderA, "FD 03");
    EXPECT_NE(requests.find("FC"), std::string::npos) << requests;
    EXPECT_NE(requests.find("FD 03"), std::string::npos) << requests;
    EXPECT_NE(Show(kReaderA).find("ip=10.99.1.2 bits=16 gw=10.99.1.253 port=10002"),
              std::string::npos)
        << Show(kReaderA);
    // The module restarts after the apply command; the ping waits for it.
    for (int i = 0; i < 50 && LfPingLanReader("10.99.1.2") == 0; ++i) {
    }
    EXPECT_TRUE(VersionOverTcp("10.99.1.2-10002"));
}

TEST_F(LanConfig, RenamesThroughRecordWritesAndCopiesTheNamesTail) {
    ExpectOk(kReaderC, "udp-info off");  // no module information: no IP-SETUP at all
    ASSERT_EQ(LfSetLanConfig("[HALLE-1]", "[HALLE-2-NORDOST]", "", ""), 0);
    const std::string requests = RequestsOnceSeen(kReaderC, "E3 C3 FD 03");
    EXPECT_NE(requests.find("E3 C3 FD 03"), std::string::npos) << requests;
    EXPECT_NE(Show(kReaderC).find("name=HALLE-2-NORDOST name-copy=NORDOST "), std::string::npos)
        << Show(kReaderC);
    char buffer[256];
    std::vector<std::string> readers;
    for (int i = 0; i < 5; ++i) {
        readers = Entries(buffer, LfFindLanReaders(buffer, sizeof buffer));
        if (std::find(readers.begin(), readers.end(), "[HALLE-2-NORDOST]") != readers.end()) break;
    }
    EXPECT_NE(std::find(readers.begin(), readers.end(), "[HALLE-2-NORDOST]"), readers.end());
}

// Without the module's information no IP-SETUP goes out: an address change alone is not
// made, and the call says so.
TEST_F(LanConfig, AnAddressChangeWithoutModuleInformationFails) {
    ExpectOk(kReaderA, "udp-info off");
    EXPECT_EQ(LfSetLanConfig("10.99.1.2", "10.99.1.20", "255.255.255.0", "10.99.1.254"), -1);
    EXPECT_NE(Show(kReaderA).find("ip=10.99.1.2 "), std::string::npos) << Show(kReaderA);
}

TEST_F(LanConfig, AnswersMinusOneForAnUnknownModule) {
    EXPECT_EQ(LfSetLanConfig("10.99.1.99", "10.99.1.98", "", ""), -1);
    EXPECT_EQ(LfSetLanConfig("[NIEMAND]", "10.99.1.98", "", ""), -1);
}

}  // namespace
