#include "chips/ReaderCommands.h"

#include <algorithm>

#include "VersionReply.h"
#include "chips/ChipTypes.h"

namespace vellf {

bool ReadBlocks(CVel_RW_Port& port, int chipType, int startBlock, int byteCount,
                std::vector<uint8_t>& data) {
    if (!BlockAddressValid(chipType, startBlock)) {
        port.SetLastError(err::kBlockOutOfRange);
        return false;
    }
    const int count = BlockReadCount(chipType, byteCount);
    return port.Exchange(cmd::kReadBlocks,
                         {static_cast<uint8_t>(chipType), static_cast<uint8_t>(startBlock),
                          static_cast<uint8_t>(count)},
                         &data);
}

bool WriteBlocks(CVel_RW_Port& port, int chipType, int startBlock,
                 const std::vector<uint8_t>& data, int lock) {
    if (!BlockAddressValid(chipType, startBlock)) {
        port.SetLastError(err::kBlockOutOfRange);
        return false;
    }
    uint8_t address = static_cast<uint8_t>(startBlock);
    if (IsT55xxFamily(chipType) && lock == 1) address |= 0x80;
    std::vector<uint8_t> reply;
    return port.Exchange(cmd::kWriteBlocks, static_cast<uint8_t>(chipType), address, data,
                         &reply);
}

bool SetReceiveMode(CVel_RW_Port& port, int mode) {
    const uint16_t capabilities = port.m_capabilities;
    const bool supported = (capabilities & caps::kReceiveModesAll) ||
                           ((capabilities & caps::kReceiveModes01) && (mode & 0xFF) < 2);
    if (!supported) return true;
    if (mode == port.m_receiveMode) return true;
    if (!port.Exchange(cmd::kReceiveMode, {static_cast<uint8_t>(mode)})) return false;
    port.m_receiveMode = mode & 0xFF;
    return true;
}

bool FindReceiveMode(CVel_RW_Port& port, int chipType) {
    static constexpr int kNoSearch[] = {2, 4, 5, 6, 10, 12, 14};
    if (std::find(std::begin(kNoSearch), std::end(kNoSearch), chipType) != std::end(kNoSearch)) {
        return true;
    }
    // The first attempt reads in whatever mode the reader is in; no mode is sent for it.
    int mode = port.m_receiveMode >= 0 ? port.m_receiveMode : 0;
    std::vector<int> tried = {mode};
    for (;;) {
        std::vector<uint8_t> block0;
        if (ReadBlocks(port, chipType, 0, 4, block0) &&
            (!IsT55xxFamily(chipType) || PlausibleConfiguration(chipType, mode, block0))) {
            port.m_receiveMode = mode;
            return true;
        }
        const std::optional<int> next =
            NextReceiveMode(chipType, mode, port.m_capabilities, port.m_firmwareDigit);
        if (!next || std::find(tried.begin(), tried.end(), *next) != tried.end()) return false;
        if (!port.Exchange(cmd::kReceiveMode, {static_cast<uint8_t>(*next)})) return false;
        mode = *next;
        tried.push_back(mode);
    }
}

}  // namespace vellf
