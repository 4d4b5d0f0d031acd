// Reader replies as they come off the line: the frame check and both checksums. The first
// byte picks the framing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool crc = (data[0] & 1) != 0;
    const std::vector<uint8_t> received(data + 1, data + size);
    const vellf::CheckedReply reply = vellf::CheckReply(received, crc);
    if (reply.check == vellf::ReplyCheck::Ok || reply.check == vellf::ReplyCheck::Status) {
        // A frame that passed its checksum is exactly as long as its LEN byte says.
        const size_t len = received[vellf::LenOffset(crc)];
        if (received.size() < len + vellf::kFrameOverhead) std::abort();
        if (reply.check == vellf::ReplyCheck::Ok && reply.data.size() != len) std::abort();
    }
    // Our own frame of these bytes always passes the check.
    if (!received.empty() && received.size() <= 256) {
        const std::vector<uint8_t> frame = vellf::BuildFrame(received, data[0], crc);
        const vellf::CheckedReply own = vellf::CheckReply(frame, crc);
        if (own.check == vellf::ReplyCheck::Checksum || own.check == vellf::ReplyCheck::Empty) {
            std::abort();
        }
    }
    return 0;
}
