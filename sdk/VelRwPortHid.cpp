// The HID side of a reader port. HID has no receive thread: the thread that waits for a reply
// reads the input reports itself.
#include <chrono>
#include <thread>

#include "VelRwPort.h"
#include "transport/HidLink.h"

namespace vellf {

namespace {

// The buffers of the drain before a send and of the reads inside the reply wait.
constexpr size_t kDrainChunk = 10;
constexpr size_t kPollChunk = 100;
// A device that never stops sending must not hold a request back for ever.
constexpr int kMaxDrainReports = 256;

}  // namespace

int CVel_RW_Port::OpenHidTransport(const std::string& name) {
    auto link = std::make_unique<CHidLink>();
    if (!link->OpenByName(name)) return -1;
    if (!link->SendControl(CHidLink::kControlOpened)) {
        link->CloseLink();
        return LF_OPEN_HID_INIT_FAILED;
    }
    m_hid = std::move(link);
    return 0;
}

void CVel_RW_Port::CloseHidTransport() {
    // The link object stays until the port goes: a thread still in an exchange on this port
    // may be reading from it right now.
    if (!m_hid) return;
    if (m_hid->IsOpen()) {
        m_hid->SendControl(CHidLink::kControlClosing);
        m_hid->CloseLink();
    }
}

int CVel_RW_Port::HidHandle() const {
    return m_hid ? m_hid->Number() : 0;
}

void CVel_RW_Port::SendHidFrame(const std::vector<uint8_t>& frame) {
    m_hid->WriteData(frame.data(), frame.size());
}

void CVel_RW_Port::DrainHidInput() {
    std::lock_guard<std::mutex> guard(m_rxLock);
    uint8_t dropped[kDrainChunk];
    for (int i = 0; i < kMaxDrainReports && m_hid->ReadData(dropped, sizeof dropped) > 0; ++i) {
    }
}

void CVel_RW_Port::PollHidInput(int waitMs) {
    if (!m_hid->IsOpen()) {
        // The link closed itself after a read error: wait out the poll time, do not spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return;
    }
    uint8_t bytes[kPollChunk];
    const size_t got = m_hid->ReadData(bytes, sizeof bytes, waitMs);
    if (got > 0) OnBytesReceived(bytes, got);
}

}  // namespace vellf
