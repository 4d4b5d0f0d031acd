// Network readers over TCP on loopback: address forms, reconnects after the reader drops the
// connection, the diagnostic log, closing, and several handles at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <fstream>
#include <thread>

#include "LoopbackReaderTest.h"
#include "SimReader.h"
#include "TcpFront.h"
#include "TransponderFactory.h"
#include "transport/TcpLog.h"
#include "vellf.h"

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// The log with its time stamps as "[T] " and socket numbers as "N", so it compares exactly.
std::string Normalized(const std::string& log) {
    std::string out;
    for (size_t i = 0; i < log.size();) {
        const bool stamp = log[i] == '[' && i + 11 <= log.size() && log[i + 3] == ':' &&
                           log[i + 6] == ':' && log[i + 9] == ']';
        if (stamp) {
            out += "[T]";
            i += 10;
        } else if (log.compare(i, 7, "Socket ") == 0 && i + 7 < log.size() &&
                   std::isdigit(static_cast<unsigned char>(log[i + 7]))) {
            out += "Socket N";
            i += 7;
            while (i < log.size() && std::isdigit(static_cast<unsigned char>(log[i]))) ++i;
        } else {
            out += log[i++];
        }
    }
    return out;
}

// Each test serves its reader on an address of its own, so tests can run side by side.
class TcpReader : public LoopbackReaderTest {
  protected:
    static bool VersionAnswered(int handle) {
        unsigned char reply[8];
        return LfGetVersion(handle, reply, sizeof reply, nullptr, 0) == 4;
    }
};

TEST_F(TcpReader, OpensTheDefaultPortAndTheDashForm) {
    ASSERT_TRUE(m_front.Start("127.0.0.3", 10001));
    int handle = LfOpenPort("127.0.0.3", 9600, 0, 500);
    ASSERT_GE(handle, 20001);
    unsigned char reply[8];
    char model[32];
    EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, model, sizeof model), 4);
    EXPECT_STREQ(model, "Vel Writer 3");
    EXPECT_NE(m_front.ClientPort(), 10001);  // the first connection takes any local port
    EXPECT_EQ(LfClosePort(handle), 0);
    EXPECT_EQ(LfGetLastError(handle), 6);

    ASSERT_TRUE(m_front.Start("127.0.0.3", 0));
    const std::string name = "127.0.0.3-" + std::to_string(m_front.Port());
    handle = LfOpenPort((name + ":7").c_str(), 9600, 0, 500);
    ASSERT_GE(handle, 20001);
    EXPECT_TRUE(VersionAnswered(handle));
    EXPECT_EQ(m_engine.Requests().back().request.address, 7);
    EXPECT_EQ(LfClosePort(handle), 0);
    EXPECT_EQ(Log(), "");  // nothing went wrong, nothing is logged
}

TEST_F(TcpReader, FailsToOpenWhereNobodyListens) {
    ASSERT_TRUE(m_front.Start("127.0.0.4", 0));
    const std::string name = "127.0.0.4-" + std::to_string(m_front.Port());
    m_front.Stop();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfOpenPort(name.c_str(), 9600, 0, 500), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(Normalized(Log()), "[T] 127.0.0.4 Connect Err 111 \n");
}

TEST_F(TcpReader, ReconnectsFromTheReadersPortAfterTheReaderClosed) {
    ASSERT_TRUE(m_front.Start("127.0.0.5", 0));
    const int port = m_front.Port();
    const int handle = LfOpenPort(("127.0.0.5-" + std::to_string(port)).c_str(), 9600, 0, 500);
    ASSERT_GT(handle, 0);
    m_front.Drop(false);
    ASSERT_TRUE(WaitForLog("closed"));

    EXPECT_TRUE(VersionAnswered(handle));
    EXPECT_EQ(m_front.Accepted(), 2u);
    EXPECT_EQ(m_front.ClientPort(), port);
    EXPECT_EQ(Normalized(Log()),
              "[T] 127.0.0.5 Socket N closed The function exited successfully. Error (0)\n"
              "[T] 127.0.0.5Socket N reconnected\n");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfClosePort(handle), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
}

// A reset is a close: the next frame reconnects at once instead of being lost.
TEST_F(TcpReader, ReconnectsWithTheNextFrameAfterAReset) {
    ASSERT_TRUE(m_front.Start("127.0.0.6", 0));
    const int port = m_front.Port();
    const int handle = LfOpenPort(("127.0.0.6-" + std::to_string(port)).c_str(), 9600, 0, 300);
    ASSERT_GT(handle, 0);
    m_front.Drop(true);
    ASSERT_TRUE(WaitForLog("Receive Err"));

    EXPECT_TRUE(VersionAnswered(handle));
    EXPECT_EQ(m_front.Accepted(), 2u);
    EXPECT_EQ(m_front.ClientPort(), port);
    const std::string log = Log();
    // A reset on Linux is ECONNRESET (104).
    EXPECT_EQ(Normalized(log),
              "[T] 127.0.0.6 Socket Receive Err 104"
              "[T] 127.0.0.6 Socket N closed WSAECONNRESET The connection was reset by the remote "
              "side. Error (104)\n"
              "[T] 127.0.0.6Socket N reconnected\n");

    // The socket is closed again: closing the port still returns at once.
    m_front.Drop(true);
    ASSERT_TRUE(WaitForLog("reconnected\n[") && Log().rfind("Receive Err") > log.size());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfClosePort(handle), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
}

TEST_F(TcpReader, WritesAndReadsACardOverTheNetwork) {
    ASSERT_TRUE(m_front.Start("127.0.0.10", 0));
    const int handle =
        LfOpenPort(("127.0.0.10-" + std::to_string(m_front.Port())).c_str(), 9600, 0, 500);
    ASSERT_GT(handle, 0);
    // An ATA5577 as it comes new: its factory configuration reads in receive mode 5.
    m_engine.PlaceTransponder(vsim::MakeConfiguredChip(9, 0x000880E8));
    ASSERT_EQ(LfWriteWiegand26(handle, 9, 123, 45678, 0), 0) << LfGetLastError(handle);
    int facility = -1, number = -1;
    ASSERT_EQ(LfReadWiegand26(handle, &facility, &number), 0) << LfGetLastError(handle);
    EXPECT_EQ(facility, 123);
    EXPECT_EQ(number, 45678);
    LfClosePort(handle);
}

TEST_F(TcpReader, WritesNoLogWithoutAPath) {
    vellf::SetSocketLogPath("");
    ASSERT_TRUE(m_front.Start("127.0.0.7", 0));
    const std::string name = "127.0.0.7-" + std::to_string(m_front.Port());
    m_front.Stop();
    EXPECT_EQ(LfOpenPort(name.c_str(), 9600, 0, 500), -1);
    EXPECT_FALSE(std::ifstream(m_logPath).good());
}

// The open's wait keeps a user interface alive: pump runs, busy brackets it.
TEST_F(TcpReader, PumpsTheWaitHooksWhileConnecting) {
    struct Calls {
        std::atomic<int> pumps{0};
        std::vector<int> busy;
    } calls;
    LfSetWaitHooks([](void* c) { static_cast<Calls*>(c)->pumps++; },
                   [](void* c, int on) { static_cast<Calls*>(c)->busy.push_back(on); }, &calls);
    ASSERT_TRUE(m_front.Start("127.0.0.8", 0));
    m_engine.SetReplyDelay(30ms);
    const int handle =
        LfOpenPort(("127.0.0.8-" + std::to_string(m_front.Port())).c_str(), 9600, 0x80, 500);
    LfSetWaitHooks(nullptr, nullptr, nullptr);
    ASSERT_GT(handle, 0);
    EXPECT_GT(calls.pumps.load(), 0);
    ASSERT_GE(calls.busy.size(), 2u);
    EXPECT_EQ(calls.busy.front(), 1);
    EXPECT_EQ(calls.busy.back(), 0);
    LfClosePort(handle);
}

TEST_F(TcpReader, ThreadsUseTheirOwnHandles) {
    constexpr int kThreads = 3;
    std::vector<std::unique_ptr<vsim::ReaderEngine>> engines;
    std::vector<std::unique_ptr<vsim::TcpFront>> fronts;
    for (int i = 0; i < kThreads; ++i) {
        engines.push_back(std::make_unique<vsim::ReaderEngine>());
        engines.back()->SetVersion("243c");
        fronts.push_back(std::make_unique<vsim::TcpFront>(*engines.back()));
        ASSERT_TRUE(fronts.back()->Start("127.0.0.9", 0));
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        const std::string name = "127.0.0.9-" + std::to_string(fronts[i]->Port());
        threads.emplace_back([&failures, name] {
            for (int round = 0; round < 5; ++round) {
                const int handle = LfOpenPort(name.c_str(), 9600, 0x80, 500);
                if (handle < 20001) {
                    failures++;
                    continue;
                }
                for (int n = 0; n < 5; ++n) {
                    if (!VersionAnswered(handle)) failures++;
                }
                if (LfClosePort(handle) != 0) failures++;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
