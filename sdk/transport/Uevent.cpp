#include "transport/Uevent.h"

#include <cstdio>
#include <sstream>

namespace vellf {

bool UeventValue(const std::string& uevent, const char* key, std::string& value) {
    std::istringstream lines(uevent);
    const std::string prefix = std::string(key) + "=";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0) {
            value = line.substr(prefix.size());
            return true;
        }
    }
    return false;
}

bool ParseHidId(const std::string& id, HidAttributes& attributes) {
    unsigned bus = 0;
    unsigned vendor = 0;
    unsigned product = 0;
    if (std::sscanf(id.c_str(), "%x:%x:%x", &bus, &vendor, &product) != 3 || vendor > 0xFFFF ||
        product > 0xFFFF) {
        return false;
    }
    attributes.vendorId = static_cast<uint16_t>(vendor);
    attributes.productId = static_cast<uint16_t>(product);
    return true;
}

}  // namespace vellf
