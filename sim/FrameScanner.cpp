#include "FrameScanner.h"

namespace vsim {

void FrameScanner::Push(const uint8_t* data, size_t size, Clock::time_point now) {
    if (size == 0) return;
    if (!m_buffer.empty() && now - m_lastByte > kStaleAfter) m_buffer.clear();
    m_buffer.insert(m_buffer.end(), data, data + size);
    m_lastByte = now;
}

std::optional<FrameScanner::Received> FrameScanner::Next() {
    // Both framings are tried at every start; a frame that validates wins. The loop ends
    // because a buffer of kMaxFrameSize bytes is complete (valid or invalid) in both framings.
    while (!m_buffer.empty()) {
        ParseResult stx = ParseFrame(Framing::Stx, m_buffer.data(), m_buffer.size());
        ParseResult crc = ParseFrame(Framing::Crc, m_buffer.data(), m_buffer.size());
        ParseResult* valid = stx.state == ParseState::Valid   ? &stx
                             : crc.state == ParseState::Valid ? &crc
                                                              : nullptr;
        if (valid != nullptr) {
            Received received{std::move(valid->frame), {}};
            received.raw.assign(m_buffer.begin(), m_buffer.begin() + valid->size);
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + valid->size);
            return received;
        }
        if (stx.state == ParseState::Invalid && crc.state == ParseState::Invalid) {
            m_buffer.erase(m_buffer.begin());
            continue;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace vsim
