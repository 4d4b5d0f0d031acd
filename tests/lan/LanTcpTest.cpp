// Network readers opened over TCP inside the test network: by address and by device name.
#include <gtest/gtest.h>

#include <thread>

#include "LanNetwork.h"
#include "vellf.h"

using namespace lantest;

namespace {

class LanTcp : public ::testing::Test {
  protected:
    void SetUp() override { ResetNetwork(); }
    // A test that stopped with a cable pulled leaves the network whole for the next.
    void TearDown() override { SetSwitchPort("p-rb0", true); }
};

TEST_F(LanTcp, OpensReadersByAddressAndByName) {
    for (const char* name : {"10.99.1.2", "10.99.2.2-10001", "[HALLE-1]", "[HALLE-1]10.1.2.3-9"}) {
        const int handle = LfOpenPort(name, 9600, 0, 500);
        ASSERT_GE(handle, 20001) << name;
        unsigned char reply[8];
        EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4) << name;
        EXPECT_EQ(LfClosePort(handle), 0);
    }
}

TEST_F(LanTcp, FailsToOpenANameThatNobodyAnswers) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfOpenPort("[NIEMAND]", 9600, 0, 500), -1);
    // 200 ms of name resolution per adapter, then no address to connect to.
    EXPECT_GE(MillisecondsSince(start), kAdapters * 200.0);
    EXPECT_LT(MillisecondsSince(start), 2000.0);
}

TEST_F(LanTcp, ReconnectsFromTheReadersPortAfterADrop) {
    const int handle = LfOpenPort("10.99.2.2", 9600, 0, 500);
    ASSERT_GT(handle, 0);
    ExpectOk(kReaderB, "tcp-drop fin");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the FIN arrive
    unsigned char reply[8];
    bool answered = false;
    // The drop reaches the station's worker at its own pace; at most one frame is lost.
    for (int i = 0; i < 3 && !answered; ++i) {
        answered = LfGetVersion(handle, reply, sizeof reply, nullptr, 0) == 4;
    }
    EXPECT_TRUE(answered);
    const std::string show = Control(kReaderB, "tcp-show");
    EXPECT_NE(show.find("client-port 10001"), std::string::npos) << show;
    LfClosePort(handle);
}

// A reader's cable pulled while a command is out: the exchange times out, and when the cable
// is back the abandoned frame must not reach the reader, as the kernel's retransmission on the
// old connection would bring it; the next command gets its reply on a new connection.
TEST_F(LanTcp, AFrameOfATimedOutExchangeNeverReachesTheReaderAfterAnOutage) {
    const int handle = LfOpenPort("10.99.2.2", 9600, 0, 300);
    ASSERT_GT(handle, 0);
    unsigned char reply[16];
    ASSERT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4);
    ExpectOk(kReaderB, "clear");
    ASSERT_TRUE(SetSwitchPort("p-rb0", false));
    EXPECT_EQ(LfGetSerialNumber(handle, reply, sizeof reply), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
    ASSERT_TRUE(SetSwitchPort("p-rb0", true));
    // A lost segment is sent again about 0.2, 0.6, 1.4 and 3 s after the first try: each of
    // the later ones falls after the cable is back.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_EQ(Control(kReaderB, "requests"), "OK 0");
    EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4);
    EXPECT_EQ(Control(kReaderB, "requests"), "OK 1");
    LfClosePort(handle);
}

// Two commands time out while the cable is out: the first went out on the old connection, the
// second started a new one that only completes when the cable is back. Neither frame may
// reach the reader then; only the command issued after the outage does.
TEST_F(LanTcp, NoFrameOfAnOutageReachesTheReaderWhenTheReconnectCompletes) {
    const int handle = LfOpenPort("10.99.2.2", 9600, 0, 300);
    ASSERT_GT(handle, 0);
    unsigned char reply[16];
    ASSERT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4);
    ExpectOk(kReaderB, "clear");
    ASSERT_TRUE(SetSwitchPort("p-rb0", false));
    EXPECT_EQ(LfGetSerialNumber(handle, reply, sizeof reply), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
    // The reset of the first exchange has closed its connection by now: this one reconnects.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(LfGetSerialNumber(handle, reply, sizeof reply), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
    ASSERT_TRUE(SetSwitchPort("p-rb0", true));
    // The reconnect's connection request is sent again about 1 and 3 s after the first: the
    // connection completes while no command waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_EQ(Control(kReaderB, "requests"), "OK 0");
    EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4);
    EXPECT_EQ(Control(kReaderB, "requests"), "OK 1");
    LfClosePort(handle);
}

}  // namespace
