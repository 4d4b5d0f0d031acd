// lfprog's network commands inside the test network: the search on request, ping, and a
// module's settings shown and changed.
#include <gtest/gtest.h>

#include <sstream>

#include "LanNetwork.h"
#include "lfprog/LfprogProcess.h"

using namespace lantest;
using lfprogtest::Result;
using lfprogtest::RunLfprog;

namespace {

class LfprogLan : public ::testing::Test {
  protected:
    void SetUp() override { ResetNetwork(); }
    void TearDown() override { ResetNetwork(); }
};

}  // namespace

TEST_F(LfprogLan, ListsNetworkReadersOnlyWhenAsked) {
    const Result plain = RunLfprog({"list"});
    EXPECT_EQ(plain.exit, 0) << plain.err;
    EXPECT_EQ(plain.out.find("lan"), std::string::npos) << plain.out;
    EXPECT_EQ(Control(kReaderA, "udp-requests"), "OK none");

    const Result lan = RunLfprog({"list", "--lan"});
    ASSERT_EQ(lan.exit, 0) << lan.err;
    for (const char* reader :
         {"lan     10.99.1.2-10001", "lan     10.99.2.2-10001", "lan     [HALLE-1]"})
        EXPECT_NE(lan.out.find(reader), std::string::npos) << reader << " in\n" << lan.out;
}

TEST_F(LfprogLan, PingsAndShowsAndChangesAModule) {
    EXPECT_EQ(RunLfprog({"lan", "ping", "10.99.1.2"}).exit, 0);
    EXPECT_EQ(RunLfprog({"lan", "ping", "10.99.1.77"}).exit, 3);

    const Result shown = RunLfprog({"lan", "config", "10.99.1.2", "--json"});
    ASSERT_EQ(shown.exit, 0) << shown.out << shown.err;
    EXPECT_EQ(shown.out,
              "{\"device\":\"10.99.1.2\",\"name\":\"[LAGER-A]-10001\",\"address\":"
              "\"10.99.1.2-10001\",\"mask\":\"255.255.255.0\",\"gateway\":\"10.99.1.254\"}\n");

    // A new name; address, mask and gateway stay as they are.
    const Result renamed = RunLfprog({"lan", "config", "10.99.1.2", "--name", "LAGER-Z"});
    ASSERT_EQ(renamed.exit, 0) << renamed.out << renamed.err;
    EXPECT_NE(renamed.out.find("name:    [LAGER-Z]-10001"), std::string::npos) << renamed.out;
    EXPECT_NE(renamed.out.find("gateway: 10.99.1.254"), std::string::npos) << renamed.out;
    EXPECT_NE(Control(kReaderA, "net-show").find("name=LAGER-Z"), std::string::npos)
        << Control(kReaderA, "net-show");
}

TEST_F(LfprogLan, DoctorNamesTheAdaptersAndTheReadersThatAnswered) {
    const Result result = RunLfprog({"doctor", "--lan", "--register", "off", "--json"});
    std::string adapters;
    std::string replies;
    std::string firewall;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"check\":\"lan-adapters\"") != std::string::npos) adapters = line;
        if (line.find("\"check\":\"lan-reply\"") != std::string::npos) replies = line;
        if (line.find("\"check\":\"firewall\"") != std::string::npos) firewall = line;
    }
    EXPECT_NE(adapters.find("\"verdict\":\"ok\""), std::string::npos) << result.out;
    EXPECT_NE(adapters.find(" 10.99."), std::string::npos) << adapters;
    EXPECT_NE(replies.find("\"verdict\":\"ok\""), std::string::npos) << result.out;
    EXPECT_NE(replies.find("10.99.1.2-10001"), std::string::npos) << replies;
    // This namespace drops nothing; without nft or iptables-save the rules cannot be read.
    EXPECT_EQ(firewall.find("\"verdict\":\"problem\""), std::string::npos) << firewall;
}
