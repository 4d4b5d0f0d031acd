// Input reports of a HID reader: the link reads them as the device delivers them. The first
// two bytes choose the device's report lengths; the rest is a stream of reports, each led by
// its length byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "transport/HidLink.h"

namespace {

struct Input {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t inputLength = 9;
    size_t outputLength = 9;
};
Input g_input;

class FuzzDevice : public vellf::CHidDevice {
  public:
    bool GetAttributes(vellf::HidAttributes& attributes) override {
        attributes = {0x2B7E, 0x0A3C};
        return true;
    }
    bool GetSerialNumber(std::string& serialNumber) override {
        serialNumber = "48260001";
        return true;
    }
    bool GetReportLengths(size_t& input, size_t& output) override {
        input = g_input.inputLength;
        output = g_input.outputLength;
        return true;
    }
    bool WriteReport(const uint8_t*, size_t, int) override { return true; }
    int ReadReport(uint8_t* report, size_t size, int) override {
        if (g_input.size == 0) return 0;
        size_t length = g_input.data[0];
        ++g_input.data;
        --g_input.size;
        if (length == 0xFF) return -1;  // the device fails
        length = std::min({length, g_input.size, size});
        std::memcpy(report, g_input.data, length);
        g_input.data += length;
        g_input.size -= length;
        return static_cast<int>(length);
    }
};

class FuzzSource : public vellf::CHidDeviceSource {
  public:
    std::unique_ptr<vellf::CHidDevice> OpenByIndex(int index, int& error) override {
        if (index > 0) {
            error = kNoMoreItems;
            return nullptr;
        }
        return std::make_unique<FuzzDevice>();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const bool installed = [] {
        vellf::SetHidDeviceSource(std::make_shared<FuzzSource>());
        return true;
    }();
    (void)installed;
    g_input = Input{data + 2, size - 2, data[0], data[1]};
    vellf::CHidLink link;
    if (!link.OpenByName("48260001 HID")) std::abort();
    uint8_t buffer[100];
    while (g_input.size > 0 && link.IsOpen()) {
        const size_t got = link.ReadData(buffer, 1 + g_input.size % sizeof buffer);
        if (got > sizeof buffer) std::abort();
    }
    link.CloseLink();
    return 0;
}
