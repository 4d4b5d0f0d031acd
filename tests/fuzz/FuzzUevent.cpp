// The uevent text of a sysfs device: its keys and the HID ids.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/Uevent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string uevent(reinterpret_cast<const char*>(data), size);
    std::string value;
    if (vellf::UeventValue(uevent, "HID_ID", value)) {
        vellf::HidAttributes attributes;
        (void)vellf::ParseHidId(value, attributes);
    }
    (void)vellf::UeventValue(uevent, "HID_UNIQ", value);
    vellf::HidAttributes attributes;
    (void)vellf::ParseHidId(uevent, attributes);
    return 0;
}
