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

}  // namespace
