#include "Frame.h"

namespace vellf {

uint8_t Bcc(const uint8_t* data, size_t size) {
    uint8_t bcc = 0;
    for (size_t i = 0; i < size; ++i) bcc ^= data[i];
    return bcc;
}

uint16_t Crc16(const uint8_t* data, size_t size) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::vector<uint8_t> BuildFrame(const std::vector<uint8_t>& commandAndData, uint8_t address,
                                bool crcFraming) {
    std::vector<uint8_t> frame;
    frame.reserve(commandAndData.size() + 6);
    if (!crcFraming) frame.push_back(kStx);
    frame.push_back(address);
    uint8_t command = commandAndData.empty() ? 0 : commandAndData[0];
    frame.push_back(command);
    size_t dataSize = commandAndData.empty() ? 0 : commandAndData.size() - 1;
    frame.push_back(static_cast<uint8_t>(dataSize));  // the low byte, as the reader reads it
    if (dataSize > 0) frame.insert(frame.end(), commandAndData.begin() + 1, commandAndData.end());
    if (crcFraming) {
        uint16_t crc = Crc16(frame.data(), frame.size());
        frame.push_back(static_cast<uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<uint8_t>(crc >> 8));
    } else {
        frame.push_back(Bcc(frame.data() + 1, frame.size() - 1));
    }
    return frame;
}

CheckedReply CheckReply(const std::vector<uint8_t>& received, bool crcFraming) {
    CheckedReply result;
    if (received.empty()) {
        result.check = ReplyCheck::Empty;
        return result;
    }
    if (received.size() < kFrameOverhead) {
        result.check = ReplyCheck::Short;
        return result;
    }
    const size_t len = received[LenOffset(crcFraming)];
    const size_t total = len + kFrameOverhead;
    if (received.size() < total) {
        result.check = ReplyCheck::Short;
        return result;
    }
    bool checksumOk;
    if (crcFraming) {
        uint16_t crc = Crc16(received.data(), len + 3);
        checksumOk = received[len + 3] == (crc & 0xFF) && received[len + 4] == (crc >> 8);
    } else {
        checksumOk = Bcc(received.data() + 1, len + 3) == received[len + 4];
    }
    if (!checksumOk) {
        result.check = ReplyCheck::Checksum;
        return result;
    }
    result.status = received[crcFraming ? 1 : 2];
    if (result.status != 0) {
        result.check = ReplyCheck::Status;
        return result;
    }
    const size_t header = crcFraming ? 3 : 4;
    result.data.assign(received.begin() + static_cast<std::ptrdiff_t>(header),
                       received.begin() + static_cast<std::ptrdiff_t>(header + len));
    result.check = ReplyCheck::Ok;
    return result;
}

}  // namespace vellf
