// A reader's version reply: device type, firmware digit, capabilities and the model name.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "VersionReply.h"
#include "discovery/ModelTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> reply(data, data + size);
    const vellf::VersionInfo info = vellf::EvaluateVersionReply(reply);
    (void)vellf::CapabilitiesFor(info.deviceType, info.firmwareDigit);
    (void)vellf::ModelNameFromReply(reply);
    (void)vellf::LeadingHexValue(data, size);
    return 0;
}
