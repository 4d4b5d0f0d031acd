// Several threads opening, using and closing their own handles while the receive threads
// deliver bytes: run under ThreadSanitizer by the test command.
#include <gtest/gtest.h>

#include <thread>

#include "SimReader.h"
#include "vellf.h"

using namespace testsupport;

TEST(Concurrency, ThreadsUseTheirOwnHandles) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 15;
    std::vector<std::unique_ptr<vsim::VirtualReader>> readers;
    for (int i = 0; i < kThreads; ++i) readers.push_back(StartReader("243c"));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < kRounds; ++round) {
                const int handle = LfOpenPort(readers[i]->Path().c_str(), 115200, 0x80, 500);
                if (handle <= 0) {
                    failures++;
                    continue;
                }
                unsigned char reply[8];
                for (int n = 0; n < 5; ++n) {
                    if (LfGetVersion(handle, reply, sizeof reply, nullptr, 0) != 4) failures++;
                }
                if (LfGetLastError(handle) != 0) failures++;
                if (LfClosePort(handle) != 0) failures++;
            }
        });
    }
    // Meanwhile another thread looks up handles that come and go.
    std::thread prober([] {
        for (int i = 0; i < 2000; ++i) LfGetLastError(1 + i % kThreads);
    });
    for (auto& thread : threads) thread.join();
    prober.join();
    EXPECT_EQ(failures.load(), 0);
}
