// A HID report descriptor as a device hands it over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "transport/HidReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vellf::HidReportLengths lengths;
    if (vellf::ParseReportDescriptor(data, size, lengths)) {
        // A report cannot be longer than a descriptor item can describe.
        if (lengths.input > (size_t{1} << 30) || lengths.output > (size_t{1} << 30)) std::abort();
    }
    return 0;
}
