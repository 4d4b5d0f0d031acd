// The USB HID transport: reader frames carried in HID reports. Input report: report ID 0,
// payload length L, L payload bytes. Output data report: report ID 0, payload length n (at
// most the output report length - 2), n payload bytes. Output control report: 0, 0x82, 0x10,
// control code. Reports are padded with zeros to their full length. All I/O runs on the
// calling thread; there is no thread of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/HidDevice.h"

namespace vellf {

class CHidLink {
  public:
    static constexpr size_t kDefaultReportLength = 9;
    static constexpr size_t kMaxReportLength = 65;  // report ID and 64 bytes
    static constexpr uint8_t kControlOpened = 0;
    static constexpr uint8_t kControlClosing = 1;
    // How long a report may take to go out.
    static constexpr int kWriteTimeoutMs = 50;

    CHidLink() = default;
    ~CHidLink();
    CHidLink(const CHidLink&) = delete;
    CHidLink& operator=(const CHidLink&) = delete;

    // The maker's HID readers; 2B7E:0A3D is the virtual COM reader, not a HID one.
    static bool IsAcceptedDevice(const HidAttributes& attributes);
    // The serial number followed by " HID", or "4826-???? HID" without a readable one.
    static std::string ReaderName(CHidDevice& device);
    // Appends the names of the attached accepted readers, each name once.
    static void ListReaders(std::vector<std::string>& list);

    // The device interface with this index; null with error CHidDeviceSource::kNoMoreItems
    // after the last one.
    static std::unique_ptr<CHidDevice> OpenByIndex(int index, int& error);

    // Opens the first accepted reader of exactly this name and takes a HID number.
    bool OpenByName(const std::string& name);
    bool SendControl(uint8_t code);
    // Sends one frame as data reports.
    bool WriteData(const uint8_t* bytes, size_t count);
    // Reads one input report, waiting at most waitMs, and delivers up to max of its payload
    // bytes (the rest of the report is dropped). 0 when nothing is there or the report is
    // short. A failing device closes the link.
    size_t ReadData(uint8_t* buffer, size_t max, int waitMs = 0);
    void CloseLink();

    bool IsOpen() const;
    // The port handle number of the open link (from 10001), 0 when closed.
    int Number() const { return m_hidNumber.load(); }
    const std::string& LinkName() const { return m_linkName; }
    size_t InputReportLength() const { return m_inputReportLength; }
    size_t OutputReportLength() const { return m_outputReportLength; }

  private:
    // Both with m_lock held.
    bool WriteReport(std::vector<uint8_t>& report);
    void CloseLocked();

    // Guards the device and the report buffer: a port may be closed on one thread while
    // another waits for a reply on it.
    mutable std::mutex m_lock;
    std::string m_linkName;
    std::atomic<int> m_hidNumber{0};  // read by handle lookups on other threads
    std::unique_ptr<CHidDevice> m_device;
    size_t m_inputReportLength = kDefaultReportLength;
    size_t m_outputReportLength = kDefaultReportLength;
    std::vector<uint8_t> m_inputReport;
};

}  // namespace vellf
