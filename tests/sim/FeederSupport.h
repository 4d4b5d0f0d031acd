// What a station does to a chip the feeder lays down, as real frames to the engine, and a
// wait for another thread's work.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "TransponderCommands.h"
#include "TransponderExchange.h"
#include "TransponderM2.h"
#include "TransponderSic7888.h"
#include "TransponderT55xx.h"
#include "cards/CardFormat.h"

namespace vsim::testing {

inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A card write in two steps as a station sends it: the data, then the configuration that
// makes the chip send them.
struct CardWrite {
    std::vector<Bytes> data;  // write request data, one request each
    Bytes configuration;
};

inline CardWrite StationWrite(int chipType, uint64_t word) {
    const std::array<uint8_t, 12> stream = vellf::CardDataStream(word);
    const auto type = static_cast<uint8_t>(chipType);
    CardWrite write;
    if (chipType == chip::kM2) {
        Bytes inverted{type, 0};
        for (uint8_t byte : stream) inverted.push_back(static_cast<uint8_t>(~byte));
        write.data.push_back(inverted);
        write.configuration = {type, M2Chip::kConfigurationAddress, M2Chip::kFskConfiguration};
    } else if (chipType == chip::kSic7888) {
        write.data.push_back(
            Concat({type, Sic7888Chip::kFirstDataBlock}, {stream.begin(), stream.end()}));
        write.configuration = {type, Sic7888Chip::kConfigurationBlock, 0x24, 0x34, 0x00, 0x00};
    } else {
        const std::array<uint32_t, 3> blocks = vellf::CardBlocks(word);
        for (uint8_t block = 1; block <= 3; ++block) {
            write.data.push_back(Concat({type, block}, BlockBytes(blocks[block - 1u])));
        }
        write.configuration = Concat({type, 0}, BlockBytes(T55xxChip::FskConfiguration(chipType)));
    }
    return write;
}

// Logs in where the chip needs it, then sends the requests; every one must be accepted.
inline void SendWrites(ReaderEngine& engine, int chipType, const std::vector<Bytes>& requests) {
    if (chipType == chip::kSic7888) {
        const Answer id = Exchange(engine, command::kReadChipId, {chip::kSic7888, 0});
        ASSERT_EQ(id.status, status::kOk);
        ASSERT_EQ(Exchange(engine, command::kLogin, Concat({chip::kSic7888}, id.data)).status,
                  status::kOk);
    }
    for (const Bytes& request : requests) {
        ASSERT_EQ(Exchange(engine, command::kWriteBlocks, request), Ok());
    }
}

}  // namespace vsim::testing
