#include "transport/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vellf {

namespace {

// Item types and tags of the short items that decide report sizes.
constexpr uint8_t kTypeMain = 0;
constexpr uint8_t kTypeGlobal = 1;
constexpr uint8_t kMainInput = 8;
constexpr uint8_t kMainOutput = 9;
constexpr uint8_t kGlobalReportSize = 7;
constexpr uint8_t kGlobalReportId = 8;
constexpr uint8_t kGlobalReportCount = 9;
constexpr uint8_t kGlobalPush = 10;
constexpr uint8_t kGlobalPop = 11;
constexpr uint8_t kLongItem = 0xFE;
// Far beyond any report a device can send; keeps the sums from overflowing.
constexpr uint64_t kMaxFieldBits = 1u << 20;

struct GlobalState {
    uint64_t reportSize = 0;
    uint64_t reportCount = 0;
    uint8_t reportId = 0;
};

size_t BytesOf(uint64_t bits) {
    return static_cast<size_t>((bits + 7) / 8);
}

}  // namespace

bool ParseReportDescriptor(const uint8_t* data, size_t size, HidReportLengths& lengths) {
    lengths = HidReportLengths{};
    if (data == nullptr) return false;
    std::array<uint64_t, 256> inputBits{};
    std::array<uint64_t, 256> outputBits{};
    GlobalState global;
    std::vector<GlobalState> stack;
    size_t pos = 0;
    while (pos < size) {
        const uint8_t prefix = data[pos];
        if (prefix == kLongItem) {
            if (pos + 2 >= size) return false;
            const size_t itemSize = 3 + size_t{data[pos + 1]};
            if (itemSize > size - pos) return false;
            pos += itemSize;
            continue;
        }
        static constexpr size_t kDataSizes[4] = {0, 1, 2, 4};
        const size_t dataSize = kDataSizes[prefix & 0x03];
        if (dataSize > size - pos - 1) return false;
        uint32_t value = 0;
        for (size_t i = 0; i < dataSize; ++i) value |= uint32_t{data[pos + 1 + i]} << (8 * i);
        const uint8_t type = (prefix >> 2) & 0x03;
        const uint8_t tag = prefix >> 4;
        pos += 1 + dataSize;

        if (type == kTypeGlobal) {
            switch (tag) {
                case kGlobalReportSize:
                    global.reportSize = std::min<uint64_t>(value, kMaxFieldBits);
                    break;
                case kGlobalReportCount:
                    global.reportCount = std::min<uint64_t>(value, kMaxFieldBits);
                    break;
                case kGlobalReportId:
                    global.reportId = static_cast<uint8_t>(value);
                    lengths.numberedReports = true;
                    break;
                case kGlobalPush:
                    stack.push_back(global);
                    break;
                case kGlobalPop:
                    if (stack.empty()) return false;
                    global = stack.back();
                    stack.pop_back();
                    break;
                default:
                    break;
            }
        } else if (type == kTypeMain && (tag == kMainInput || tag == kMainOutput)) {
            uint64_t& bits = (tag == kMainInput ? inputBits : outputBits)[global.reportId];
            bits = std::min(bits + global.reportSize * global.reportCount, kMaxFieldBits);
        }
    }
    for (size_t id = 0; id < inputBits.size(); ++id) {
        if (inputBits[id] != 0) lengths.input = std::max(lengths.input, BytesOf(inputBits[id]) + 1);
        if (outputBits[id] != 0) {
            lengths.output = std::max(lengths.output, BytesOf(outputBits[id]) + 1);
        }
    }
    return true;
}

}  // namespace vellf
