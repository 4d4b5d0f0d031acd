// The end of a port and of the program: exiting with a port open, an SDK call from a pumped
// event while the SDK waits, and a port closed by one thread while another waits on it.
#include <gtest/gtest.h>
#include <net/if.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>

#include "CloseWhileWaiting.h"
#include "SimReader.h"
#include "TcpFront.h"
#include "transport/Adapter.h"
#include "vellf.h"

extern char** environ;

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

TEST(Shutdown, AProgramExitsCleanlyWithANetworkPortOpenAndTheLogOn) {
    TempDir dir;
    // A long path: the text lives on the heap, where a use after its end would show.
    const std::string log = dir.Path() + "/a-socket-log-with-a-rather-long-name.log";
    char* const argv[] = {const_cast<char*>(EXIT_WITH_OPEN_PORT), const_cast<char*>(log.c_str()),
                          nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, EXIT_WITH_OPEN_PORT, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("closed"), std::string::npos);  // the port logged during the exit
}

// An open whose handshake pumps an event that opens another port on the same thread.
TEST(Shutdown, AnOpenFromAPumpedEventDoesNotDeadlock) {
    auto outer = StartReader("243c");
    auto inner = StartReader("243c");
    outer->Engine().SetReplyDelay(50ms);  // the handshake waits and pumps
    struct Context {
        std::string innerPath;
        int innerHandle = 0;
        int lastError = 0;
    } context{inner->Path()};
    LfSetWaitHooks(
        [](void* c) {
            auto* ctx = static_cast<Context*>(c);
            if (ctx->innerHandle != 0) return;
            ctx->innerHandle = -100;  // no second round while this one runs
            ctx->innerHandle = LfOpenPort(ctx->innerPath.c_str(), 115200, 0x80, 500);
            ctx->lastError = LfGetLastError(ctx->innerHandle);
        },
        nullptr, &context);
    auto open = std::async(std::launch::async, [&] {
        return LfOpenPort(outer->Path().c_str(), 115200, 0x80, 500);
    });
    const bool finished = open.wait_for(10s) == std::future_status::ready;
    LfSetWaitHooks(nullptr, nullptr, nullptr);
    if (!finished) {
        ADD_FAILURE() << "the open deadlocked on its own thread";
        std::abort();  // a deadlocked thread cannot be joined
    }
    const int outerHandle = open.get();
    EXPECT_GT(outerHandle, 0);
    EXPECT_GT(context.innerHandle, 0);
    EXPECT_NE(context.innerHandle, outerHandle);
    EXPECT_EQ(LfClosePort(context.innerHandle), 0);
    EXPECT_EQ(LfClosePort(outerHandle), 0);
}

// One thread waits for a reply that never comes while another closes the port: the wait ends
// with a timeout, the close returns, and nothing races (the thread sanitizer build checks).
TEST(Shutdown, APortClosedWhileAnotherThreadWaitsOnIt) {
    vellf::SetAdapterOverride(std::vector<vellf::CAdapter>{
        {"127.0.0.1", "255.0.0.0", static_cast<int>(if_nametoindex("lo"))}});
    vsim::ReaderEngine tcpEngine;
    tcpEngine.SetVersion("243c");
    vsim::TcpFront front(tcpEngine);
    ASSERT_TRUE(front.Start("127.0.0.32", 0));
    auto serial = StartReader("243c");
    const std::string names[] = {"127.0.0.32-" + std::to_string(front.Port()), serial->Path()};
    vsim::ReaderEngine* engines[] = {&tcpEngine, &serial->Engine()};
    for (int i = 0; i < 2; ++i) {
        for (int delayMs : {0, 5, 40}) {
            SCOPED_TRACE(names[i] + " closed after " + std::to_string(delayMs) + " ms");
            engines[i]->SetSilent(false);
            const int handle = LfOpenPort(names[i].c_str(), 115200, 0x80, 300);
            ASSERT_GT(handle, 0);
            engines[i]->SetSilent(true);
            const CloseWhileWaitingResult result = CloseWhileWaiting(handle, delayMs);
            EXPECT_EQ(result.close, 0);
            EXPECT_EQ(result.wait, -1);
            EXPECT_EQ(LfGetLastError(handle), 6);
        }
        engines[i]->SetSilent(false);
    }
    front.Stop();
    vellf::SetAdapterOverride(std::nullopt);
}

}  // namespace
