#include "transport/HidLink.h"

#include <algorithm>
#include <cstring>

#include "discovery/UsbIds.h"
#include "transport/PortNumbers.h"

namespace vellf {

namespace {

constexpr const char* kUnknownSerialNumber = "4826-????";
constexpr const char* kNameSuffix = " HID";
constexpr uint8_t kControlMarker[] = {0x82, 0x10};
// A control report needs four bytes; shorter reports cannot carry the protocol.
constexpr size_t kMinReportLength = 4;
// Enumeration gives up after this many interfaces even if the source never says "no more".
constexpr int kMaxDeviceIndex = 1024;

size_t UsableReportLength(size_t length) {
    if (length < kMinReportLength) return CHidLink::kDefaultReportLength;
    return std::min(length, CHidLink::kMaxReportLength);
}

}  // namespace

CHidLink::~CHidLink() {
    CloseLink();
}

bool CHidLink::IsAcceptedDevice(const HidAttributes& attributes) {
    return IsHidReader(UsbId{attributes.vendorId, attributes.productId});
}

std::string CHidLink::ReaderName(CHidDevice& device) {
    std::string serialNumber;
    if (!device.GetSerialNumber(serialNumber)) serialNumber = kUnknownSerialNumber;
    return serialNumber + kNameSuffix;
}

std::unique_ptr<CHidDevice> CHidLink::OpenByIndex(int index, int& error) {
    return CurrentHidDeviceSource()->OpenByIndex(index, error);
}

void CHidLink::ListReaders(std::vector<std::string>& list) {
    const std::shared_ptr<CHidDeviceSource> source = CurrentHidDeviceSource();
    for (int i = 0; i < kMaxDeviceIndex; ++i) {
        int error = 0;
        std::unique_ptr<CHidDevice> device = source->OpenByIndex(i, error);
        if (!device) {
            if (error == CHidDeviceSource::kNoMoreItems) break;
            continue;
        }
        HidAttributes attributes;
        if (!device->GetAttributes(attributes) || !IsAcceptedDevice(attributes)) continue;
        std::string name = ReaderName(*device);
        if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
    }
}

bool CHidLink::OpenByName(const std::string& name) {
    CloseLink();
    const std::shared_ptr<CHidDeviceSource> source = CurrentHidDeviceSource();
    std::unique_ptr<CHidDevice> device;
    for (int i = 0;; ++i) {
        if (i == kMaxDeviceIndex) return false;
        int error = 0;
        device = source->OpenByIndex(i, error);
        if (!device) {
            if (error == CHidDeviceSource::kNoMoreItems) return false;
            continue;
        }
        HidAttributes attributes;
        if (device->CanTransfer() && device->GetAttributes(attributes) &&
            IsAcceptedDevice(attributes) && ReaderName(*device) == name) {
            break;
        }
    }
    size_t input = kDefaultReportLength;
    size_t output = kDefaultReportLength;
    if (!device->GetReportLengths(input, output)) {
        input = kDefaultReportLength;
        output = kDefaultReportLength;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_inputReportLength = UsableReportLength(input);
    m_outputReportLength = UsableReportLength(output);
    m_device = std::move(device);
    m_linkName = name;
    m_hidNumber = HidPortNumbers().Acquire();
    return true;
}

bool CHidLink::WriteReport(std::vector<uint8_t>& report) {
    report.resize(m_outputReportLength, 0);
    return m_device->WriteReport(report.data(), report.size(), kWriteTimeoutMs);
}

bool CHidLink::IsOpen() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_device != nullptr;
}

bool CHidLink::SendControl(uint8_t code) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_device) return false;
    std::vector<uint8_t> report = {0x00, kControlMarker[0], kControlMarker[1], code};
    return WriteReport(report);
}

bool CHidLink::WriteData(const uint8_t* bytes, size_t count) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_device) return false;
    const size_t chunk = m_outputReportLength - 2;
    std::vector<uint8_t> report;
    for (size_t pos = 0; pos < count; pos += chunk) {
        const size_t n = std::min(count - pos, chunk);
        report.assign({0x00, static_cast<uint8_t>(n)});
        report.insert(report.end(), bytes + pos, bytes + pos + n);
        if (!WriteReport(report)) return false;
    }
    return true;
}

size_t CHidLink::ReadData(uint8_t* buffer, size_t max, int waitMs) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_device) return 0;
    m_inputReport.assign(m_inputReportLength, 0);
    const int count = m_device->ReadReport(m_inputReport.data(), m_inputReport.size(), waitMs);
    if (count < 0) {
        CloseLocked();  // the port then has no transport and its commands time out
        return 0;
    }
    const size_t got = std::min(static_cast<size_t>(count), m_inputReport.size());
    if (got < m_inputReportLength) return 0;  // short reports are dropped
    // The length byte may promise more than the report holds.
    const size_t delivered = std::min({got - 2, size_t{m_inputReport[1]}, max});
    if (delivered > 0) std::memcpy(buffer, m_inputReport.data() + 2, delivered);
    return delivered;
}

void CHidLink::CloseLink() {
    std::lock_guard<std::mutex> guard(m_lock);
    CloseLocked();
}

void CHidLink::CloseLocked() {
    m_device.reset();
    const int number = m_hidNumber.exchange(0);
    if (number != 0) HidPortNumbers().Release(number);
}

}  // namespace vellf
