// Version exchanges over a pseudo-terminal against the virtual reader (a separate process):
// round trip, the SDK's CPU time per exchange, and the wake-ups of an idle open port.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "vellf.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

rusage Usage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    const int exchanges = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 5;
    constexpr int kBaud = 115200;

    SimProcess sim({"--version", "243c"});
    if (!sim.Running()) {
        std::fprintf(stderr, "cannot start the virtual reader\n");
        return 1;
    }
    const int handle = LfOpenPort(sim.Path().c_str(), kBaud, 0x80, 500);
    if (handle <= 0) {
        std::fprintf(stderr, "open failed: %d\n", handle);
        return 1;
    }

    unsigned char reply[16];
    for (int i = 0; i < 50; ++i) LfGetVersion(handle, reply, sizeof reply, nullptr, 0);

    std::vector<double> roundTripsUs;
    roundTripsUs.reserve(static_cast<size_t>(exchanges));
    const rusage before = Usage();
    const double simBefore = sim.CpuSeconds();
    const Clock::time_point start = Clock::now();
    int failures = 0;
    for (int i = 0; i < exchanges; ++i) {
        const Clock::time_point t0 = Clock::now();
        if (LfGetVersion(handle, reply, sizeof reply, nullptr, 0) != 4) ++failures;
        roundTripsUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    const double wallS = std::chrono::duration<double>(Clock::now() - start).count();
    const rusage after = Usage();
    const double simCpu = sim.CpuSeconds() - simBefore;
    const double cpuUs = (CpuSeconds(after) - CpuSeconds(before)) * 1e6 / exchanges;

    // 5 request bytes and 9 reply bytes, 10 bit times each (start, 8 data, stop).
    const double wireUs = 14.0 * 10.0 * 1e6 / kBaud;

    const rusage idleBefore = Usage();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const rusage idleAfter = Usage();
    // The sleeping main thread itself accounts for one switch.
    const long idleWakeups = (idleAfter.ru_nvcsw + idleAfter.ru_nivcsw) -
                             (idleBefore.ru_nvcsw + idleBefore.ru_nivcsw) - 1;

    LfClosePort(handle);

    std::printf("version exchanges at %d baud over a pseudo-terminal: %d (%d failed)\n", kBaud,
                exchanges, failures);
    std::printf("round trip median     %8.1f us   (p10 %.1f, p90 %.1f, p99 %.1f)\n",
                Percentile(roundTripsUs, 0.5), Percentile(roundTripsUs, 0.1),
                Percentile(roundTripsUs, 0.9), Percentile(roundTripsUs, 0.99));
    std::printf("wire time of 14 bytes %8.1f us   (a pseudo-terminal does not pace bytes)\n",
                wireUs);
    std::printf("SDK CPU per exchange  %8.1f us   (user + system, this process)\n", cpuUs);
    std::printf("reader CPU per exch.  %8.1f us   (the simulator process, for reference)\n",
                simCpu * 1e6 / exchanges);
    std::printf("exchanges per second  %8.0f\n", exchanges / wallS);
    std::printf("idle port wake-ups    %8ld     over %d s\n", idleWakeups, idleSeconds);
    return failures == 0 ? 0 : 1;
}
