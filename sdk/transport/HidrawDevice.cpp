#include "transport/HidrawDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include "discovery/SysfsRoot.h"
#include "transport/HidReportDescriptor.h"
#include "transport/Uevent.h"

namespace vellf {

namespace {

// The kernel's limit for a report descriptor.
constexpr size_t kMaxDescriptorSize = 4096;

}  // namespace

CHidrawDevice::CHidrawDevice(int fd, std::string sysfsDeviceDir)
    : m_fd(fd), m_deviceDir(std::move(sysfsDeviceDir)) {
    std::vector<uint8_t> descriptor;
    HidReportLengths lengths;
    if (ReadSysfsBytes(m_deviceDir + "/report_descriptor", descriptor, kMaxDescriptorSize) &&
        ParseReportDescriptor(descriptor.data(), descriptor.size(), lengths)) {
        m_lengthsKnown = lengths.input != 0 && lengths.output != 0;
        m_inputLength = lengths.input;
        m_outputLength = lengths.output;
        m_numberedReports = lengths.numberedReports;
    }
}

CHidrawDevice::~CHidrawDevice() {
    if (m_fd >= 0) close(m_fd);
}

bool CHidrawDevice::ReadUevent(const char* key, std::string& value) const {
    std::string uevent;
    if (!ReadSysfsText(m_deviceDir + "/uevent", uevent)) return false;
    return UeventValue(uevent, key, value);
}

bool CHidrawDevice::GetAttributes(HidAttributes& attributes) {
    std::string id;
    return ReadUevent("HID_ID", id) && ParseHidId(id, attributes);
}

bool CHidrawDevice::GetSerialNumber(std::string& serialNumber) {
    std::string unique;
    if (!ReadUevent("HID_UNIQ", unique) || unique.empty()) return false;
    serialNumber = unique;
    return true;
}

bool CHidrawDevice::GetReportLengths(size_t& input, size_t& output) {
    if (!m_lengthsKnown) return false;
    input = m_inputLength;
    output = m_outputLength;
    return true;
}

bool CHidrawDevice::WriteReport(const uint8_t* report, size_t size, int timeoutMs) {
    // hidraw takes the report ID as the first byte and drops it again for report ID 0.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ssize_t put = write(m_fd, report, size);
        if (put >= 0) return static_cast<size_t>(put) == size;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) return false;
        pollfd out{m_fd, POLLOUT, 0};
        if (poll(&out, 1, static_cast<int>(left.count())) <= 0) return false;
    }
}

int CHidrawDevice::ReadReport(uint8_t* report, size_t size, int waitMs) {
    if (size < 2) return -1;
    pollfd in{m_fd, POLLIN, 0};
    const int ready = poll(&in, 1, waitMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready == 0) return 0;
    if (!(in.revents & POLLIN)) return -1;  // hung up: the device has gone
    // Without report IDs the kernel hands over the report without its ID byte; put the
    // ID 0 back so that every report looks alike to the link.
    uint8_t* into = m_numberedReports ? report : report + 1;
    const size_t room = m_numberedReports ? size : size - 1;
    const ssize_t got = read(m_fd, into, room);
    if (got < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    if (got == 0) return -1;
    if (m_numberedReports) return static_cast<int>(got);
    report[0] = 0;
    return static_cast<int>(got) + 1;
}

std::unique_ptr<CHidDevice> CHidrawSource::OpenByIndex(int index, int& error) {
    const std::string classDir = SysfsPath("/sys/class/hidraw");
    std::vector<std::string> names;
    ListSysfsDirectory(classDir, names);  // no hidraw class: no devices
    names.erase(
        std::remove_if(names.begin(), names.end(),
                       [](const std::string& name) { return name.rfind("hidraw", 0) != 0; }),
        names.end());
    std::sort(names.begin(), names.end(), NumericNameLess);
    if (index < 0 || static_cast<size_t>(index) >= names.size()) {
        error = kNoMoreItems;
        return nullptr;
    }
    const std::string& name = names[static_cast<size_t>(index)];
    const int fd = open(SysfsPath("/dev/" + name).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    // A node of another user (no access rules installed) still names its reader, so that
    // the reader is listed rather than missing without a word; it is never opened.
    if (fd < 0 && (errno == EACCES || errno == EPERM)) {
        error = 0;
        return std::make_unique<CHidrawDevice>(-1, classDir + "/" + name + "/device");
    }
    if (fd < 0) {
        error = errno != 0 ? errno : EIO;
        return nullptr;
    }
    error = 0;
    return std::make_unique<CHidrawDevice>(fd, classDir + "/" + name + "/device");
}

}  // namespace vellf
