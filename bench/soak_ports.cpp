// A soak of the SDK's ports: several threads open, use and close ports on virtual readers
// (serial lines on pseudo-terminals and network readers on loopback) while another thread
// restarts readers, drops and resets connections, makes readers fall silent and sends noise.
// Meant for the ThreadSanitizer build:
//
//   cmake -S . -B build/tsan -G Ninja -DORVEX_SANITIZE=thread -DORVEX_BUILD_BENCH=ON
//   cmake --build build/tsan --target soak_ports
//   build/tsan/bench/soak_ports --seconds 600 --threads 4
//
// It reports exchanges, failures by error code, and open descriptors, threads and resident
// memory before and after; it exits 1 when descriptors or threads were left behind.
#include <net/if.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FreshChip.h"
#include "ReaderEngine.h"
#include "TcpFront.h"
#include "VirtualReader.h"
#include "transport/Adapter.h"
#include "vellf.h"

namespace {

using Clock = std::chrono::steady_clock;

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count - 1;  // the iterator's own
}

int Threads() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// The readers the soak talks to; the chaos thread changes them while workers use them.
class Readers {
  public:
    explicit Readers(int count) {
        for (int i = 0; i < count; ++i) {
            auto serial = std::make_unique<vsim::VirtualReader>();
            serial->Engine().SetVersion("243c");
            serial->Engine().PlaceTransponder(vsim::MakeFreshChip(9));
            serial->Start();
            m_serial.push_back(std::move(serial));
            auto engine = std::make_unique<vsim::ReaderEngine>();
            engine->SetVersion("243c");
            engine->PlaceTransponder(vsim::MakeFreshChip(9));
            auto front = std::make_unique<vsim::TcpFront>(*engine);
            front->Start("127.0.0." + std::to_string(60 + i), 0);
            m_tcpEngines.push_back(std::move(engine));
            m_tcpFronts.push_back(std::move(front));
        }
    }
    size_t Count() const { return m_serial.size(); }

    // The port name of reader i: a serial line or a network reader.
    std::string Name(size_t i, bool tcp) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (tcp) {
            return m_tcpFronts[i]->Address() + "-" + std::to_string(m_tcpFronts[i]->Port());
        }
        return m_serial[i]->Path();
    }

    // One random misdeed.
    void Misbehave(std::mt19937& random) {
        const size_t i = random() % Count();
        switch (random() % 6) {
            case 0: {  // the serial reader is unplugged and comes back on a new line
                std::lock_guard<std::mutex> guard(m_lock);
                m_serial[i]->Unplug();
                m_serial[i]->Start();
                break;
            }
            case 1:
                m_tcpFronts[i]->Drop(false);
                break;
            case 2:
                m_tcpFronts[i]->Drop(true);
                break;
            case 3: {  // a reader falls silent for a while
                Engine(i, random() % 2 == 0).SetSilent(true);
                std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 300));
                Engine(i, false).SetSilent(false);
                Engine(i, true).SetSilent(false);
                break;
            }
            case 4: {  // noise before every reply: up to 8 KiB
                std::vector<uint8_t> noise(1 + random() % 8192);
                for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
                vsim::ReaderEngine& engine = Engine(i, random() % 2 == 0);
                engine.SetNoise(noise);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                engine.SetNoise({});
                break;
            }
            case 5: {  // replies that come late
                vsim::ReaderEngine& engine = Engine(i, random() % 2 == 0);
                engine.SetReplyDelay(std::chrono::milliseconds(150 + random() % 200));
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                engine.SetReplyDelay(std::chrono::milliseconds(0));
                break;
            }
        }
    }

  private:
    vsim::ReaderEngine& Engine(size_t i, bool tcp) {
        return tcp ? *m_tcpEngines[i] : m_serial[i]->Engine();
    }

    std::mutex m_lock;  // guards the serial readers' restarts against Name
    std::vector<std::unique_ptr<vsim::VirtualReader>> m_serial;
    std::vector<std::unique_ptr<vsim::ReaderEngine>> m_tcpEngines;
    std::vector<std::unique_ptr<vsim::TcpFront>> m_tcpFronts;
};

struct Tally {
    std::mutex lock;
    long opens = 0;
    long openFailures = 0;
    long exchanges = 0;
    long failedExchanges = 0;
    std::map<int, long> byError;  // LfOpenPort results and last errors
    void Count(int code) {
        std::lock_guard<std::mutex> guard(lock);
        ++byError[code];
    }
};

void Work(Readers& readers, Tally& tally, Clock::time_point end, unsigned seed) {
    std::mt19937 random(seed);
    while (Clock::now() < end) {
        const size_t i = random() % readers.Count();
        const bool tcp = random() % 2 == 0;
        const int handle = LfOpenPort(readers.Name(i, tcp).c_str(), 115200, 0x80, 200);
        {
            std::lock_guard<std::mutex> guard(tally.lock);
            ++tally.opens;
            if (handle <= 0) ++tally.openFailures;
        }
        if (handle <= 0) {
            tally.Count(handle);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        const int rounds = 1 + static_cast<int>(random() % 40);
        for (int n = 0; n < rounds && Clock::now() < end; ++n) {
            unsigned char reply[64];
            const int got = (random() % 2 == 0)
                                ? LfGetVersion(handle, reply, sizeof reply, nullptr, 0)
                                : LfReadChipId(handle, 9, reply, sizeof reply);
            std::lock_guard<std::mutex> guard(tally.lock);
            ++tally.exchanges;
            if (got < 0) {
                ++tally.failedExchanges;
                ++tally.byError[LfGetLastError(handle)];
            }
        }
        LfClosePort(handle);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    int threads = 4;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--threads") == 0) threads = std::atoi(argv[i + 1]);
    }
    vellf::SetAdapterOverride(std::vector<vellf::CAdapter>{
        {"127.0.0.1", "255.0.0.0", static_cast<int>(if_nametoindex("lo"))}});

    Readers readers(3);
    // A first round of every kind warms the SDK's process-wide state up before the counts.
    for (size_t i = 0; i < readers.Count(); ++i) {
        for (bool tcp : {false, true}) LfClosePort(LfOpenPort(readers.Name(i, tcp).c_str(), 115200, 0x80, 200));
    }
    const int fdsBefore = OpenDescriptors();
    const int threadsBefore = Threads();
    const long rssBefore = ResidentKiB();

    Tally tally;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::seconds(seconds);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back(Work, std::ref(readers), std::ref(tally), end, 1234u + t);
    }
    long misdeeds = 0;
    long rssWarm = -1;  // after the first quarter: the sanitizer's own memory has grown by then
    std::mt19937 random(99);
    while (Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 200));
        readers.Misbehave(random);
        ++misdeeds;
        if (rssWarm < 0 && Clock::now() - start > (end - start) / 4) rssWarm = ResidentKiB();
    }
    for (std::thread& worker : workers) worker.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    const int fdsAfter = OpenDescriptors();
    const int threadsAfter = Threads();
    const long rssAfter = ResidentKiB();
    std::printf("soak: %.0f s, %d threads, %ld misdeeds\n", elapsed, threads, misdeeds);
    std::printf("opens: %ld (%ld failed), exchanges: %ld (%ld failed), %.0f exchanges/s\n",
                tally.opens, tally.openFailures, tally.exchanges, tally.failedExchanges,
                tally.exchanges / elapsed);
    std::printf("failures by code:");
    for (const auto& [code, count] : tally.byError) std::printf(" %d:%ld", code, count);
    std::printf("\n");
    std::printf("descriptors: %d before, %d after; threads: %d before, %d after\n", fdsBefore,
                fdsAfter, threadsBefore, threadsAfter);
    std::printf("resident: %ld KiB at the start, %ld KiB after a quarter, %ld KiB at the end\n",
                rssBefore, rssWarm, rssAfter);
    const bool leaked = fdsAfter > fdsBefore || threadsAfter > threadsBefore;
    std::printf("%s\n", leaked ? "LEAK: descriptors or threads left behind" : "nothing leaked");
    return leaked ? 1 : 0;
}
