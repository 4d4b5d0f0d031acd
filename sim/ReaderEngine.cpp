#include "ReaderEngine.h"

#include <utility>

#include "ReaderCommands.h"
#include "Timing.h"
#include "TransponderCommands.h"

namespace vsim {

ReaderEngine::ReaderEngine() {
    AddReaderCommands(m_commands);
    AddTransponderCommands(m_commands);
}

std::vector<uint8_t> ReaderEngine::OnBytes(const uint8_t* data, size_t size, int lineBaud) {
    std::vector<uint8_t> bytes;
    for (Outgoing& out : Receive(data, size, lineBaud, Clock::now())) {
        bytes.insert(bytes.end(), out.bytes.begin(), out.bytes.end());
    }
    return bytes;
}

std::vector<ReaderEngine::Outgoing> ReaderEngine::Receive(const uint8_t* data, size_t size,
                                                          int lineBaud, Clock::time_point now) {
    std::vector<Outgoing> replies;
    bool fieldWritten = false;
    {
        std::lock_guard lock(m_mutex);
        const uint64_t writesBefore = m_fieldWrites;
        m_scanner.Push(data, size, now);
        while (std::optional<FrameScanner::Received> received = m_scanner.Next()) {
            Request request{received->frame.framing, received->frame.address, received->frame.code,
                            std::move(received->frame.data), std::move(received->raw)};
            std::optional<Outgoing> reply = Answer(request, lineBaud);
            ++m_requestCount;
            if (m_log.size() == kRequestLogLimit) m_log.pop_front();
            m_log.push_back(LoggedRequest{std::move(request), lineBaud, reply.has_value()});
            if (reply) replies.push_back(std::move(*reply));
        }
        fieldWritten = m_fieldWrites != writesBefore;
    }
    if (fieldWritten) NotifyFieldObservers();
    return replies;
}

std::optional<ReaderEngine::Outgoing> ReaderEngine::Answer(const Request& request, int lineBaud) {
    // A reader that does not understand a request (wrong framing, wrong baud rate) does not
    // act on it either, so swallowed requests change no state.
    if (!m_misbehaviour.Answers(request.framing, lineBaud)) return std::nullopt;
    const CommandFaults::Fault fault = m_faults.Take(request.command);
    if (fault.kind == CommandFaults::Kind::TimeOut) return std::nullopt;
    Reply reply;
    if (fault.kind == CommandFaults::Kind::Fail) {
        reply.status = fault.status;
    } else if (fault.kind == CommandFaults::Kind::Reply) {
        reply.data = fault.data;
    } else if (m_misbehaviour.nextStatus) {
        reply.status = *m_misbehaviour.nextStatus;
        m_misbehaviour.nextStatus.reset();
    } else {
        reply = m_commands.Execute(m_state, request);
        if (request.command == command::kWriteBlocks && reply.status == status::kOk) {
            ++m_fieldWrites;
        }
    }
    const Frame frame{request.framing, m_misbehaviour.replyAddress.value_or(request.address),
                      reply.status, std::move(reply.data)};
    // The delay is the one place where reply time is charged: the misbehaving reader's extra
    // delay, and in realistic timing the line and radio time.
    std::vector<uint8_t> bytes = m_misbehaviour.Distort(BuildFrame(frame));
    std::chrono::milliseconds delay = m_misbehaviour.replyDelay;
    if (m_realisticTiming) delay += timing::RealisticDelay(request, bytes.size(), lineBaud);
    return Outgoing{delay, std::move(bytes)};
}

void ReaderEngine::SetVersion(std::string version) {
    std::lock_guard lock(m_mutex);
    m_state.version = std::move(version);
}

void ReaderEngine::SetSerialNumber(std::vector<uint8_t> serialNumber) {
    std::lock_guard lock(m_mutex);
    m_state.serialNumber = std::move(serialNumber);
}

void ReaderEngine::SetReceiveMode(int mode) {
    std::lock_guard lock(m_mutex);
    m_state.receiveMode = mode;
}

void ReaderEngine::PlaceTransponder(std::unique_ptr<Transponder> transponder) {
    {
        std::lock_guard lock(m_mutex);
        m_state.field.Place(std::move(transponder));
    }
    NotifyFieldObservers();
}

void ReaderEngine::RemoveTransponder() {
    {
        std::lock_guard lock(m_mutex);
        m_state.field.Remove();
    }
    NotifyFieldObservers();
}

bool ReaderEngine::SetTransponderId(const ChipId& id) {
    {
        std::lock_guard lock(m_mutex);
        Transponder* transponder = m_state.field.Occupant();
        if (transponder == nullptr) return false;
        transponder->SetId(id);
    }
    NotifyFieldObservers();
    return true;
}

bool ReaderEngine::SetTransponderWeak(bool weak) {
    std::lock_guard lock(m_mutex);
    Transponder* transponder = m_state.field.Occupant();
    if (transponder == nullptr) return false;
    transponder->SetWeak(weak);
    return true;
}

int ReaderEngine::AddFieldObserver(FieldObserver observer) {
    std::lock_guard lock(m_observerMutex);
    const int id = m_nextObserverId++;
    m_observers.emplace_back(id, std::move(observer));
    return id;
}

void ReaderEngine::RemoveFieldObserver(int id) {
    std::lock_guard lock(m_observerMutex);
    std::erase_if(m_observers, [id](const auto& entry) { return entry.first == id; });
}

void ReaderEngine::NotifyFieldObservers() {
    std::lock_guard lock(m_observerMutex);
    for (const auto& entry : m_observers) entry.second();
}

uint64_t ReaderEngine::FieldWriteCount() const {
    std::lock_guard lock(m_mutex);
    return m_fieldWrites;
}

std::optional<TransponderSnapshot> ReaderEngine::FieldSnapshot() const {
    std::lock_guard lock(m_mutex);
    return m_state.field.Snapshot();
}

void ReaderEngine::SetRealisticTiming(bool on) {
    std::lock_guard lock(m_mutex);
    m_realisticTiming = on;
}

bool ReaderEngine::RealisticTiming() const {
    std::lock_guard lock(m_mutex);
    return m_realisticTiming;
}

void ReaderEngine::SetCrcOnly(bool on) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.crcOnly = on;
}

void ReaderEngine::SetBaudOnly(int baud) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.baudOnly = baud;
}

void ReaderEngine::SetSilent(bool on) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.silent = on;
}

void ReaderEngine::SetNoise(std::vector<uint8_t> noise) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.noise = std::move(noise);
}

void ReaderEngine::SetCutAfter(std::optional<size_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.cutAfter = bytes;
}

void ReaderEngine::SetBadChecksum(bool on) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.badChecksum = on;
}

void ReaderEngine::SetNextStatus(uint8_t status) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.nextStatus = status;
}

void ReaderEngine::SetReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.replyDelay = delay;
}

void ReaderEngine::SetReplyAddress(std::optional<uint8_t> address) {
    std::lock_guard lock(m_mutex);
    m_misbehaviour.replyAddress = address;
}

void ReaderEngine::FailCommand(uint8_t command, unsigned count, uint8_t status) {
    std::lock_guard lock(m_mutex);
    m_faults.Fail(command, count, status);
}

void ReaderEngine::TimeOutCommand(uint8_t command, unsigned count) {
    std::lock_guard lock(m_mutex);
    m_faults.TimeOut(command, count);
}

void ReaderEngine::ReplyToCommand(uint8_t command, std::vector<uint8_t> data) {
    std::lock_guard lock(m_mutex);
    m_faults.Reply(command, std::move(data));
}

CommandFaults ReaderEngine::GetCommandFaults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

void ReaderEngine::ResetMisbehaviour() {
    std::lock_guard lock(m_mutex);
    m_misbehaviour = Misbehaviour{};
    m_faults.Clear();
}

Misbehaviour ReaderEngine::GetMisbehaviour() const {
    std::lock_guard lock(m_mutex);
    return m_misbehaviour;
}

DeviceState ReaderEngine::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::string ReaderEngine::Version() const {
    std::lock_guard lock(m_mutex);
    return m_state.version;
}

int ReaderEngine::ReceiveMode() const {
    std::lock_guard lock(m_mutex);
    return m_state.receiveMode;
}

int ReaderEngine::DeviceMode() const {
    std::lock_guard lock(m_mutex);
    return m_state.deviceMode;
}

int ReaderEngine::UsbMode() const {
    std::lock_guard lock(m_mutex);
    return m_state.usbMode;
}

std::vector<ReaderEngine::LoggedRequest> ReaderEngine::Requests() const {
    std::lock_guard lock(m_mutex);
    return {m_log.begin(), m_log.end()};
}

size_t ReaderEngine::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requestCount;
}

void ReaderEngine::ClearRequests() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
    m_requestCount = 0;
}

}  // namespace vsim
