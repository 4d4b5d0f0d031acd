// USB identification of the maker's devices as the enumeration sees it in sysfs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "discovery/SysfsRoot.h"

namespace vellf {

struct UsbId {
    uint16_t vendor;
    uint16_t product;
    bool operator==(const UsbId&) const = default;
};

constexpr UsbId kVirtualComReader{0x2B7E, 0x0A3D};  // CDC-ACM reader (virtual COM port)
constexpr UsbId kFtdiReader{0x0403, 0xC6F1};        // FTDI-chip reader driven through D2XX

// Readers in HID mode: a vendor with a closed range of product ids. The device access rules
// that the packages install are checked against this table.
struct UsbProductRange {
    uint16_t vendor;
    uint16_t firstProduct;
    uint16_t lastProduct;  // inclusive
};
constexpr UsbProductRange kHidReaders[] = {
    {0x3D51, 0x17A6, 0x17A6},
    {0x2B7E, 0x0A3C, 0x0A3C},
    {0x2B7E, 0x0A3E, 0x0A41},  // 0x0A3D between them is the virtual-COM reader
    {0x4E85, 0x2C19, 0x2C19},
};

constexpr bool IsHidReader(UsbId id) {
    for (const UsbProductRange& range : kHidReaders) {
        if (id.vendor == range.vendor && id.product >= range.firstProduct &&
            id.product <= range.lastProduct)
            return true;
    }
    return false;
}

// idVendor and idProduct of a USB device directory; false when it is not a USB device.
inline bool ReadUsbId(const std::string& deviceDir, UsbId& id) {
    std::string vendor;
    std::string product;
    if (!ReadSysfsText(deviceDir + "/idVendor", vendor) ||
        !ReadSysfsText(deviceDir + "/idProduct", product)) {
        return false;
    }
    char* end = nullptr;
    const unsigned long v = std::strtoul(vendor.c_str(), &end, 16);
    if (vendor.empty() || *end != '\0' || v > 0xFFFF) return false;
    const unsigned long p = std::strtoul(product.c_str(), &end, 16);
    if (product.empty() || *end != '\0' || p > 0xFFFF) return false;
    id = UsbId{static_cast<uint16_t>(v), static_cast<uint16_t>(p)};
    return true;
}

}  // namespace vellf
