#include "Misbehaviour.h"

namespace vsim {

bool Misbehaviour::Answers(Framing framing, int lineBaud) const {
    if (silent) return false;
    if (crcOnly && framing == Framing::Stx) return false;
    if (baudOnly != 0 && lineBaud != 0 && lineBaud != baudOnly) return false;
    return true;
}

std::vector<uint8_t> Misbehaviour::Distort(std::vector<uint8_t> frame) const {
    if (badChecksum && !frame.empty()) frame.back() ^= 0xFF;
    if (cutAfter && *cutAfter < frame.size()) frame.resize(*cutAfter);
    if (noise.empty()) return frame;
    std::vector<uint8_t> bytes = noise;
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}

}  // namespace vsim
