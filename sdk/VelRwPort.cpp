#include "VelRwPort.h"

#include <algorithm>

#include "Frame.h"
#include "transport/HidLink.h"
#include "transport/TcpSocketThread.h"
#include "transport/PortName.h"
#include "transport/PortNumbers.h"

namespace vellf {

namespace {

// The longest single sleep of a reply wait, so a pump hook keeps a user interface alive:
// with the pump's own work the window then reacts within one frame at 60 Hz.
constexpr auto kWaitSlice = std::chrono::milliseconds(5);

}  // namespace

CVel_RW_Port::CVel_RW_Port() = default;

CVel_RW_Port::~CVel_RW_Port() { CloseTransport(); }

int CVel_RW_Port::OpenTransport(const std::string& name, int baud, int options) {
    switch (ClassifyPortName(name)) {
        case TransportKind::Tcp:
            return OpenTcpTransport(name);
        case TransportKind::Hid:
            return OpenHidTransport(name);
        case TransportKind::Serial:
        case TransportKind::D2xx:
            break;
    }
    const LineSettings settings = LineSettingsFromOptions(options);
    if (!OpenLine(name, baud, settings.parity, settings.dataBits, settings.stopBits, 0,
                  kSerialWriteBuffer)) {
        return -1;
    }
    StartMonitor();
    m_serialId = SerialPortNumbers().Acquire();
    return 0;
}

void CVel_RW_Port::CloseTransport() {
    CloseTcpTransport();
    CloseHidTransport();
    CloseLine();
    int serialId = m_serialId.exchange(0);
    if (serialId != 0) SerialPortNumbers().Release(serialId);
}

int CVel_RW_Port::Handle() const {
    if (const int serialId = m_serialId) return serialId;
    if (const int tcp = TcpHandle()) return tcp;
    return HidHandle();
}

void CVel_RW_Port::OnByteReceived(uint8_t byte) { OnBytesReceived(&byte, 1); }

void CVel_RW_Port::OnBytesReceived(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> guard(m_rxLock);
    if (m_rxWanted != 0) {
        // A waiter reads from the front: bytes beyond the limit can only be noise behind it.
        const size_t room = kReceiveLimit - std::min(kReceiveLimit, m_rxBuffer.size());
        m_rxBuffer.insert(m_rxBuffer.end(), data, data + std::min(size, room));
    } else {
        // Nobody waits: only the newest bytes could still matter.
        if (size >= kReceiveLimit) {
            m_rxBuffer.assign(data + size - kReceiveLimit, data + size);
        } else {
            m_rxBuffer.insert(m_rxBuffer.end(), data, data + size);
            if (m_rxBuffer.size() > 2 * kReceiveLimit) {
                m_rxBuffer.erase(m_rxBuffer.begin(),
                                 m_rxBuffer.end() - static_cast<long>(kReceiveLimit));
            }
        }
    }
    // Wake the waiter only when what it waits for is there: one wake-up per phase.
    if (m_rxWanted != 0 && m_rxBuffer.size() >= m_rxWanted) m_rxArrived.notify_one();
}

void CVel_RW_Port::BeginRequest(uint8_t command) {
    m_txBuffer.clear();
    m_txBuffer.push_back(command);
}

void CVel_RW_Port::AppendRequest(uint8_t byte) { m_txBuffer.push_back(byte); }

void CVel_RW_Port::AppendRequest(const std::vector<uint8_t>& bytes) {
    m_txBuffer.insert(m_txBuffer.end(), bytes.begin(), bytes.end());
}

void CVel_RW_Port::SendFrame(const std::vector<uint8_t>& frame) {
    if (m_tcp) {
        SendTcpFrame(frame);
    } else if (m_hid) {
        SendHidFrame(frame);
    } else {
        QueueWrite(frame.data(), static_cast<int>(frame.size()));
    }
}

void CVel_RW_Port::EndExchange(bool complete) {
    if (m_tcp) EndTcpExchange(complete);
}

bool CVel_RW_Port::TransportGone() const {
    return !m_tcp && !m_hid && IsLineGone();
}

bool CVel_RW_Port::Transact() {
    const std::vector<uint8_t> frame =
        BuildFrame(m_txBuffer, static_cast<uint8_t>(m_address & 0xFF), m_crcFraming != 0);
    {
        std::lock_guard<std::mutex> guard(m_rxLock);
        m_rxBuffer.clear();  // a late reply of an earlier request must not be taken for this one
    }
    m_txBuffer.clear();
    if (TransportGone()) {
        // Nothing can carry the frame: waiting for a reply would only delay the same timeout.
        m_lastError = err::kTimeout;
        return false;
    }
    if (m_hid) DrainHidInput();
    SendFrame(frame);

    const WaitHooks hooks = CurrentWaitHooks();
    const bool markBusy = m_background == 0;
    if (markBusy) hooks.Busy(true);
    const bool complete = WaitForReply(hooks);
    if (markBusy) hooks.Busy(false);
    EndExchange(complete);
    if (!complete) {
        m_lastError = err::kTimeout;
        return false;
    }
    return true;
}

size_t CVel_RW_Port::ExpectedReplySize() const {
    const size_t lenOffset = LenOffset(m_crcFraming != 0);
    if (m_rxBuffer.size() <= lenOffset) return lenOffset + 1;
    return m_rxBuffer[lenOffset] + kFrameOverhead;
}

bool CVel_RW_Port::WaitForReply(const WaitHooks& hooks) {
    std::unique_lock<std::mutex> lock(m_rxLock);
    // Phase 1: the first four bytes.
    bool ok = WaitForBytes(lock, 4, Clock::now(), hooks);
    // Phase 2 (STX framing only): drop leading bytes, never below four, until STX leads.
    if (ok && m_crcFraming == 0) {
        const Clock::time_point start = Clock::now();
        for (;;) {
            size_t drop = 0;
            while (m_rxBuffer.size() - drop >= 4 && m_rxBuffer[drop] != kStx) ++drop;
            m_rxBuffer.erase(m_rxBuffer.begin(), m_rxBuffer.begin() + static_cast<long>(drop));
            if (m_rxBuffer[0] == kStx) break;
            if (!WaitForBytes(lock, 4, start, hooks)) {
                ok = false;
                break;
            }
        }
    }
    // Phase 3: the whole frame that the LEN byte announces.
    if (ok) ok = WaitForBytes(lock, 0, Clock::now(), hooks);
    m_rxWanted = 0;
    return ok;
}

// Waits until the buffer holds count bytes (0: the whole announced reply), or until more
// than m_timeoutMs have passed since start.
bool CVel_RW_Port::WaitForBytes(std::unique_lock<std::mutex>& lock, size_t count,
                                Clock::time_point start, const WaitHooks& hooks) {
    const auto limit = std::chrono::milliseconds(m_timeoutMs);
    for (;;) {
        const size_t need = count != 0 ? count : ExpectedReplySize();
        if (m_rxBuffer.size() >= need) return true;
        const Clock::time_point now = Clock::now();
        if (now - start > limit) return false;
        m_rxWanted = need;
        if (m_hid) {
            // HID input has no receive thread: this thread reads it, a millisecond at a time.
            lock.unlock();
            PollHidInput(1);
            lock.lock();
        } else {
            // Sleep one slice at most, waking at once when the bytes are there and just after
            // the limit has passed.
            const Clock::time_point wake =
                std::min(now + kWaitSlice, start + limit + std::chrono::microseconds(1));
            m_rxArrived.wait_until(lock, wake);
        }
        // A row of short exchanges, each complete within its first slice, must still let the
        // caller's event loop run every slice: the time is counted across exchanges.
        thread_local Clock::time_point lastPump{};
        const bool pumpDue = Clock::now() - lastPump >= kWaitSlice;
        if (hooks.pump != nullptr && (m_rxBuffer.size() < need || pumpDue)) {
            // The pump may run a whole event loop round; the receive thread must not wait.
            lock.unlock();
            hooks.Pump();
            lastPump = Clock::now();
            lock.lock();
        }
    }
}

bool CVel_RW_Port::ReadReply(std::vector<uint8_t>& data) {
    std::vector<uint8_t> received;
    {
        std::lock_guard<std::mutex> guard(m_rxLock);
        received.swap(m_rxBuffer);
    }
    CheckedReply reply = CheckReply(received, m_crcFraming != 0);
    switch (reply.check) {
        case ReplyCheck::Ok:
            data = std::move(reply.data);
            return true;
        case ReplyCheck::Empty:
            m_lastError = err::kEmptyReply;
            return false;
        case ReplyCheck::Short:
            return false;
        case ReplyCheck::Checksum:
            m_lastError = err::kChecksum;
            return false;
        case ReplyCheck::Status:
            m_lastError = reply.status;
            return false;
    }
    return false;
}

bool CVel_RW_Port::Exchange(uint8_t command, const std::vector<uint8_t>& data,
                            std::vector<uint8_t>* reply) {
    BeginRequest(command);
    AppendRequest(data);
    return TransactAndRead(reply);
}

bool CVel_RW_Port::Exchange(uint8_t command, uint8_t first, uint8_t second,
                            const std::vector<uint8_t>& data, std::vector<uint8_t>* reply) {
    BeginRequest(command);
    AppendRequest(first);
    AppendRequest(second);
    AppendRequest(data);
    return TransactAndRead(reply);
}

bool CVel_RW_Port::TransactAndRead(std::vector<uint8_t>* reply) {
    if (!Transact()) return false;
    std::vector<uint8_t> replyData;
    if (!ReadReply(replyData)) return false;
    if (reply) *reply = std::move(replyData);
    return true;
}

bool CVel_RW_Port::ExchangeWithTimeout(unsigned minTimeoutMs, uint8_t command,
                                       const std::vector<uint8_t>& data,
                                       std::vector<uint8_t>* reply) {
    const unsigned saved = m_timeoutMs;
    m_timeoutMs = std::max(saved, minTimeoutMs);
    const bool ok = Exchange(command, data, reply);
    m_timeoutMs = saved;
    return ok;
}

}  // namespace vellf
