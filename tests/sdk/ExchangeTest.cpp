// Request/reply exchanges against a virtual reader that misbehaves on request.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "SimReader.h"
#include "vellf.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

class Exchange : public ::testing::Test {
protected:
    void Open(int options = 0, int timeoutMs = 200) {
        reader = StartReader("053A");
        handle = LfOpenPort(reader->Path().c_str(), 115200, options, timeoutMs);
        ASSERT_GT(handle, 0);
    }
    void TearDown() override {
        LfSetWaitHooks(nullptr, nullptr, nullptr);
        if (handle > 0) LfClosePort(handle);
    }
    // The version exchange; -1 or the reply length.
    int Version() {
        unsigned char reply[32];
        return LfGetVersion(handle, reply, sizeof reply, nullptr, 0);
    }
    std::unique_ptr<vsim::VirtualReader> reader;
    int handle = 0;
};

}  // namespace

TEST_F(Exchange, StatusBytesNoiseAndChecksums) {
    Open();
    reader->Engine().SetNextStatus(0x15);
    EXPECT_EQ(Version(), -1);
    EXPECT_EQ(LfGetLastError(handle), 21);

    reader->Engine().SetNoise(Bytes({0x55, 0xAA, 0x13}));
    EXPECT_EQ(Version(), 4);  // skipped up to STX
    reader->Engine().SetNoise({});

    reader->Engine().SetBadChecksum(true);
    EXPECT_EQ(Version(), -1);
    EXPECT_EQ(LfGetLastError(handle), 14);
    reader->Engine().SetBadChecksum(false);

    reader->Engine().SetReplyAddress(9);
    EXPECT_EQ(Version(), 4);  // the reply's address is not checked
    // A success leaves the last error as it was.
    EXPECT_EQ(LfGetLastError(handle), 14);
}

TEST_F(Exchange, NoiseBreaksTheCrcFraming) {
    reader = StartReader("053A");
    reader->Engine().SetCrcOnly(true);
    handle = LfOpenPort(reader->Path().c_str(), 115200, 0, 200);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(Version(), 4);
    reader->Engine().SetNoise(Bytes({0x55}));
    EXPECT_EQ(Version(), -1);
    EXPECT_EQ(LfGetLastError(handle), 14);
}

TEST_F(Exchange, ACutReplyTimesOut) {
    Open(0, 200);
    reader->Engine().SetCutAfter(3);
    const auto start = Clock::now();
    EXPECT_EQ(Version(), -1);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(LfGetLastError(handle), 7);
    EXPECT_GT(elapsed, std::chrono::milliseconds(200));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
    // The late bytes of that reply do not spoil the next exchange.
    reader->Engine().SetCutAfter(std::nullopt);
    EXPECT_EQ(Version(), 4);
}

TEST_F(Exchange, LateRepliesWithinTheTimeoutArrive) {
    Open(0, 300);
    reader->Engine().SetReplyDelay(std::chrono::milliseconds(150));
    EXPECT_EQ(Version(), 4);
    reader->Engine().SetReplyDelay(std::chrono::milliseconds(450));
    EXPECT_EQ(Version(), -1);
    EXPECT_EQ(LfGetLastError(handle), 7);
}

namespace {
struct HookLog {
    std::atomic<int> pumps{0};
    std::atomic<int> busyOn{0};
    std::atomic<int> busyOff{0};
};
void Pump(void* context) { static_cast<HookLog*>(context)->pumps++; }
void Busy(void* context, int busy) {
    auto* log = static_cast<HookLog*>(context);
    (busy ? log->busyOn : log->busyOff)++;
}
}  // namespace

TEST_F(Exchange, PumpsAndMarksBusyWhileWaiting) {
    Open(0, 500);
    HookLog log;
    LfSetWaitHooks(Pump, Busy, &log);
    reader->Engine().SetReplyDelay(std::chrono::milliseconds(100));
    EXPECT_EQ(Version(), 4);
    EXPECT_GE(log.pumps.load(), 5);  // at least every 10 ms
    EXPECT_EQ(log.busyOn.load(), 1);
    EXPECT_EQ(log.busyOff.load(), 1);

    // Background mode keeps the caller's windows untouched but still pumps.
    EXPECT_EQ(LfSetBackgroundMode(handle, 7), 1);
    log.pumps = 0;
    EXPECT_EQ(Version(), 4);
    EXPECT_GE(log.pumps.load(), 5);
    EXPECT_EQ(log.busyOn.load(), 1);
}
