// Whether the maker's USB readers are plugged in without a driver, and whether the virtual
// COM (CDC-ACM) driver is there at all.
#pragma once

#include "vellf.h"

namespace vellf {

// Bits of plugged-in devices none of whose interfaces is bound to a driver; for the FTDI
// reader only when, in addition, the D2XX library that drives it cannot be loaded.
constexpr int kUsbFlagFtdiReader = LF_USB_FLAG_D2XX_READER_UNDRIVEN;  // 0403:C6F1
constexpr int kUsbFlagVirtualComReader = LF_USB_FLAG_VIRTUAL_COM_READER_UNDRIVEN;  // 2B7E:0A3D

int UsbDeviceFlags();

// The kernel's CDC-ACM driver is registered, loaded, built in or installed as a module.
bool IsUsbDriverInstalled();

}  // namespace vellf
