// Reader commands, raw reads, chip identification and the field reset.
#include <algorithm>

#include "ApiSupport.h"
#include "chips/ChipTypes.h"
#include "chips/ReaderCommands.h"
#include "vellf.h"

using namespace vellf;

namespace {

constexpr int kFieldPauseMs = 100;

// Count result of one exchange.
int CountExchange(int handle, uint8_t command, const std::vector<uint8_t>& data,
                  unsigned char* buffer, int size, unsigned minTimeoutMs = 0) {
    auto port = FindPort(handle);
    if (!port) return -1;
    std::vector<uint8_t> reply;
    if (!port->ExchangeWithTimeout(minTimeoutMs, command, data, &reply)) return -1;
    return CopyCount(*port, reply, buffer, size);
}

int BoolExchange(int handle, uint8_t command, const std::vector<uint8_t>& data) {
    auto port = FindPort(handle);
    return port ? BoolResult(port->Exchange(command, data)) : -1;
}

uint8_t Byte(int value) { return static_cast<uint8_t>(value); }

}  // namespace

extern "C" {

int LfGetSerialNumber(int handle, unsigned char* buffer, int size) {
    return CountExchange(handle, cmd::kSerialNumber, {}, buffer, size);
}

int LfSetReceiveMode(int handle, int mode) {
    auto port = FindPort(handle);
    return port ? BoolResult(SetReceiveMode(*port, mode)) : -1;
}

int LfSetUsbMode(int handle, int mode) { return BoolExchange(handle, cmd::kUsbMode, {Byte(mode)}); }

int LfResetReader(int handle, int first, int second) {
    return BoolExchange(handle, cmd::kResetReader, {Byte(first), Byte(second)});
}

int LfSetDeviceMode(int handle, int mode) {
    static constexpr int kModes[] = {0, 1, 2, 3, 128, 129, 131};
    auto port = FindPort(handle);
    if (!port) return -1;
    if (std::find(std::begin(kModes), std::end(kModes), mode) == std::end(kModes)) {
        port->SetLastError(err::kInvalidParameter);
        return -1;
    }
    return BoolResult(port->Exchange(cmd::kDeviceMode, {Byte(mode)}));
}

int LfReadBlocks(int handle, int chipType, int startBlock, unsigned char* buffer, int size) {
    auto port = FindPort(handle);
    if (!port) return -1;
    const int lowByte = chipType & 0xFF;
    if (lowByte < 1 || lowByte > 39) {
        port->SetLastError(err::kChipNotSupported);
        return -1;
    }
    if (size < 0) {
        port->SetLastError(err::kInvalidParameter);
        return -1;
    }
    std::vector<uint8_t> data;
    if (!ReadBlocks(*port, chipType, startBlock, size, data)) return -1;
    return CopyCount(*port, data, buffer, size);
}

int LfReadRawData(int handle, int coding, unsigned char* buffer, int size) {
    return CountExchange(handle, cmd::kReadRaw, {Byte(coding), Byte(size)}, buffer, size);
}

int LfReadChipId(int handle, int chipType, unsigned char* buffer, int size) {
    return CountExchange(handle, cmd::kChipId, {Byte(chipType), 0}, buffer, size,
                         kChipIdTimeoutMs);
}

int LfResetField(int handle, int chipType) {
    auto port = FindPort(handle);
    if (!port) return -1;
    if (chipType == 6 || IsT55xxFamily(chipType)) {
        return BoolResult(port->Exchange(cmd::kResetChip, {Byte(chipType), 1}));
    }
    // Field off and on again, so the next read finds the transponder freshly powered.
    port->Exchange(cmd::kFieldSwitch, {0});
    PumpingSleep(kFieldPauseMs);
    port->Exchange(cmd::kFieldSwitch, {1});
    PumpingSleep(kFieldPauseMs);
    return 0;
}

}  // extern "C"
