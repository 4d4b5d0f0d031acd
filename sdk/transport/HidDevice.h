// A HID device interface as the HID link uses it, and the source the link finds devices in:
// hidraw nodes on a real machine, anything that speaks reports in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vellf {

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

class CHidDevice {
  public:
    virtual ~CHidDevice() = default;

    // False for a device that is known (ids, serial number) but that this process may not
    // open: it is listed, so the user learns it is there, and never opened.
    virtual bool CanTransfer() const { return true; }

    virtual bool GetAttributes(HidAttributes& attributes) = 0;
    // False when the device has no serial number that can be read.
    virtual bool GetSerialNumber(std::string& serialNumber) = 0;
    // Report lengths in bytes with the report ID byte; false when they cannot be told.
    virtual bool GetReportLengths(size_t& input, size_t& output) = 0;

    // Writes one output report (byte 0 is the report ID); false when it could not be
    // delivered within timeoutMs.
    virtual bool WriteReport(const uint8_t* report, size_t size, int timeoutMs) = 0;
    // Reads one input report into report (byte 0 is the report ID), waiting at most waitMs:
    // its length, 0 when none has arrived, -1 when the device failed.
    virtual int ReadReport(uint8_t* report, size_t size, int waitMs) = 0;
};

class CHidDeviceSource {
  public:
    // The error after the last device.
    static constexpr int kNoMoreItems = 259;

    virtual ~CHidDeviceSource() = default;

    // The open device interface with this index (from 0), or null with error: kNoMoreItems
    // past the last one, any other non-zero value for one that cannot be opened.
    virtual std::unique_ptr<CHidDevice> OpenByIndex(int index, int& error) = 0;
};

// Internal: where the HID link finds devices. Null restores the hidraw nodes below the
// sysfs root.
void SetHidDeviceSource(std::shared_ptr<CHidDeviceSource> source);
std::shared_ptr<CHidDeviceSource> CurrentHidDeviceSource();

}  // namespace vellf
