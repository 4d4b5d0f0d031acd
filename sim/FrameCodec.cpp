#include "FrameCodec.h"

#include <algorithm>

namespace vsim {

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
            const bool low = (crc & 1) != 0;
            crc = static_cast<uint16_t>(crc >> 1);
            if (low) crc ^= 0xA001;
        }
    }
    return crc;
}

namespace {

// Offsets of address, code and LEN inside a frame of the framing.
size_t HeaderStart(Framing framing) {
    return framing == Framing::Stx ? 1 : 0;
}

bool ChecksumMatches(Framing framing, const uint8_t* frame, size_t size) {
    if (framing == Framing::Stx) return Bcc(frame + 1, size - 2) == frame[size - 1];
    const uint16_t crc = Crc16(frame, size - 2);
    return frame[size - 2] == (crc & 0xFF) && frame[size - 1] == (crc >> 8);
}

}  // namespace

ParseResult ParseFrame(Framing framing, const uint8_t* data, size_t size) {
    ParseResult result;
    if (framing == Framing::Stx && size >= 1 && data[0] != kStx) {
        result.state = ParseState::Invalid;
        return result;
    }
    const size_t head = HeaderStart(framing);
    if (size < head + 3) return result;  // LEN not there yet
    const size_t frameSize = data[head + 2] + kFrameOverhead;
    if (size < frameSize) return result;
    if (!ChecksumMatches(framing, data, frameSize)) {
        result.state = ParseState::Invalid;
        return result;
    }
    result.state = ParseState::Valid;
    result.size = frameSize;
    result.frame.framing = framing;
    result.frame.address = data[head];
    result.frame.code = data[head + 1];
    result.frame.data.assign(data + head + 3, data + head + 3 + data[head + 2]);
    return result;
}

std::vector<uint8_t> BuildFrame(const Frame& frame) {
    const size_t dataSize = std::min<size_t>(frame.data.size(), 255);
    std::vector<uint8_t> bytes;
    bytes.reserve(dataSize + kFrameOverhead);
    if (frame.framing == Framing::Stx) bytes.push_back(kStx);
    bytes.push_back(frame.address);
    bytes.push_back(frame.code);
    bytes.push_back(static_cast<uint8_t>(dataSize));
    bytes.insert(bytes.end(), frame.data.begin(), frame.data.begin() + dataSize);
    if (frame.framing == Framing::Stx) {
        bytes.push_back(Bcc(bytes.data() + 1, bytes.size() - 1));
    } else {
        const uint16_t crc = Crc16(bytes.data(), bytes.size());
        bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
        bytes.push_back(static_cast<uint8_t>(crc >> 8));
    }
    return bytes;
}

}  // namespace vsim
