// The table of reader models, keyed by the device code at the start of a version reply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellf {

struct ReaderModel {
    const char* modelName;
    int modelCode;
};

// All known models in table order.
const std::vector<ReaderModel>& ModelTable();

// The display name for a version reply: "---" for fewer than 3 bytes, the first row whose
// code equals the reply's leading hex number, or "VEL-#" and the three characters as received.
std::string ModelNameFromReply(const std::vector<uint8_t>& reply);

}  // namespace vellf
