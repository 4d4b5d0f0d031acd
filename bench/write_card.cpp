// A complete 26-bit write to an ATA5577 that is already in receive mode 2, with the virtual
// reader's realistic timing (wire time at the line's baud rate, radio time per command):
// median time per write, exchanges per write, and the ratio to the lower bound (the wire
// time of every request and reply plus the radio time of the same exchanges).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Timing.h"
#include "VirtualReader.h"
#include "vellf.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Reply length of the exchanges of such a write: block reads return their blocks.
size_t ReplyBytes(const vsim::Request& request) {
    if (request.command == 0xC2 && request.data.size() == 3) return 5 + 4u * request.data[2];
    return 5;
}

int Run(int baud, int writes) {
    vsim::VirtualReader reader;
    reader.Engine().SetVersion("243c");
    if (!reader.Start()) return 1;
    const int handle = LfOpenPort(reader.Path().c_str(), baud, 0, 1000);
    if (handle <= 0) return 1;
    reader.Engine().PlaceTransponder(vsim::MakeCardChip(9, 0x2000000000));
    reader.Engine().SetRealisticTiming(true);
    if (LfSetReceiveMode(handle, 2) != 0 || LfWriteWiegand26(handle, 9, 1, 0, 0) != 0) {
        std::fprintf(stderr, "warm-up write failed\n");
        return 1;
    }
    std::vector<double> times, bounds, exchanges;
    for (int i = 0; i < writes; ++i) {
        reader.Engine().ClearRequests();
        const Clock::time_point start = Clock::now();
        if (LfWriteWiegand26(handle, 9, 1, i + 1, 0) != 0) {
            std::fprintf(stderr, "write %d failed: %d\n", i, LfGetLastError(handle));
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        double bound = 0;
        const auto requests = reader.Engine().Requests();
        for (const auto& logged : requests) {
            const auto wire = vsim::timing::WireTime(logged.request.raw.size() +
                                                     ReplyBytes(logged.request), baud);
            bound += std::chrono::duration<double, std::milli>(
                wire + vsim::timing::RadioTime(logged.request)).count();
        }
        bounds.push_back(bound);
        exchanges.push_back(static_cast<double>(requests.size()));
    }
    LfClosePort(handle);
    const double median = Median(times);
    const double bound = Median(bounds);
    std::printf("%6d baud: median %.1f ms per write, %.0f exchanges, bound %.1f ms, ratio %.3f\n",
                baud, median, Median(exchanges), bound, median / bound);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int writes = argc > 1 ? std::atoi(argv[1]) : 30;
    for (int baud : {19200, 115200}) {
        if (Run(baud, writes) != 0) return 1;
    }
    return 0;
}
