// The HID side of a reader port.
#include "VelRwPort.h"
#include "transport/HidLink.h"

namespace vellf {

int CVel_RW_Port::OpenHidTransport(const std::string& /*name*/) { return -1; }

void CVel_RW_Port::CloseHidTransport() { m_hid.reset(); }

int CVel_RW_Port::HidHandle() const { return 0; }

void CVel_RW_Port::SendHidFrame(const std::vector<uint8_t>& /*frame*/) {}

void CVel_RW_Port::DrainHidInput() {}

void CVel_RW_Port::PollHidInput(int /*waitMs*/) {}

}  // namespace vellf
