// The USB HID transport: reader frames carried in HID reports over hidraw.
#pragma once

namespace vellf {

// Not available in this build yet; the USB reader change brings it.
class CHidLink {};

}  // namespace vellf
