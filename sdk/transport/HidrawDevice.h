// HID devices through the kernel's hidraw nodes: the ids and serial number from the uevent of
// /sys/class/hidraw/hidrawN/device, the report lengths from its report descriptor, one write()
// per output report and one read() per input report.
#pragma once

#include <string>

#include "transport/HidDevice.h"

namespace vellf {

class CHidrawDevice : public CHidDevice {
  public:
    // Takes the open node (or anything that keeps report boundaries, such as a sequenced-
    // packet socket) and the sysfs directory of its HID device; fd -1 for a node this
    // process may not open, which then only tells its ids and serial number.
    CHidrawDevice(int fd, std::string sysfsDeviceDir);
    ~CHidrawDevice() override;
    CHidrawDevice(const CHidrawDevice&) = delete;
    CHidrawDevice& operator=(const CHidrawDevice&) = delete;

    bool CanTransfer() const override { return m_fd >= 0; }
    bool GetAttributes(HidAttributes& attributes) override;
    bool GetSerialNumber(std::string& serialNumber) override;
    bool GetReportLengths(size_t& input, size_t& output) override;
    bool WriteReport(const uint8_t* report, size_t size, int timeoutMs) override;
    int ReadReport(uint8_t* report, size_t size, int waitMs) override;

  private:
    bool ReadUevent(const char* key, std::string& value) const;

    int m_fd;
    std::string m_deviceDir;
    bool m_lengthsKnown = false;
    size_t m_inputLength = 0;
    size_t m_outputLength = 0;
    bool m_numberedReports = false;
};

// The hidraw nodes below the sysfs root, in the order of their numbers.
class CHidrawSource : public CHidDeviceSource {
  public:
    std::unique_ptr<CHidDevice> OpenByIndex(int index, int& error) override;
};

}  // namespace vellf
