#include "Timing.h"

#include "TransponderCommands.h"

namespace vsim::timing {

namespace {

constexpr uint8_t kByteAddressedChip = 11;

int64_t GroupsOfFour(size_t bytes) {
    return static_cast<int64_t>((bytes + 3) / 4);
}

}  // namespace

Micros WireTime(size_t bytes, int baud) {
    if (baud <= 0) return Micros{0};
    const int64_t bits = static_cast<int64_t>(bytes) * kWireBitsPerByte;
    return Micros{(bits * 1000000 + baud - 1) / baud};
}

Micros RadioTime(const Request& request) {
    const std::vector<uint8_t>& data = request.data;
    switch (request.command) {
        case command::kReadChipId:
            return kChipIdReadTime;
        case command::kLogin:
            return kLoginTime;
        case command::kReadBlocks:
            if (data.size() < 3) return Micros{0};
            // The byte-addressed chip counts bytes, the others blocks.
            return (data[0] == kByteAddressedChip ? GroupsOfFour(data[2]) : int64_t{data[2]}) *
                   kBlockReadTime;
        case command::kWriteBlocks:
            if (data.size() < 2) return Micros{0};
            return GroupsOfFour(data.size() - 2) * kBlockWriteTime;
        case command::kResetTransponder:
            return kPowerUpTime;
        case command::kReadCard:
        case command::kReadRaw:
            return kCardReadTime;
        default:
            return Micros{0};
    }
}

std::chrono::milliseconds RealisticDelay(const Request& request, size_t replyBytes, int lineBaud) {
    const Micros total = WireTime(request.raw.size(), lineBaud) + RadioTime(request) +
                         WireTime(replyBytes, lineBaud);
    return std::chrono::ceil<std::chrono::milliseconds>(total);
}

}  // namespace vsim::timing
