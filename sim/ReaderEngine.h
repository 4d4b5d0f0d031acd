// The simulated reader itself: takes the bytes a line delivers, recognises requests in either
// framing, answers them through its command set (reader and transponder commands, acting on
// the transponder on its field) and shows the misbehaviour it was told to.
// Fronts (pseudo-terminal, in-process) only move bytes. Every public member is thread-safe: a
// control thread changes settings while a front thread feeds bytes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CommandFaults.h"
#include "CommandSet.h"
#include "DeviceState.h"
#include "FrameScanner.h"
#include "Misbehaviour.h"
#include "Transponder.h"

namespace vsim {

class ReaderEngine {
  public:
    using Clock = FrameScanner::Clock;

    // Bytes to put on the line, no earlier than `delay` after the request's bytes were handed
    // to the engine. The delay is where the fronts pace replies.
    struct Outgoing {
        std::chrono::milliseconds delay{0};
        std::vector<uint8_t> bytes;
    };

    struct LoggedRequest {
        Request request;
        int lineBaud = 0;
        bool answered = false;  // false when a misbehaviour setting swallowed it
    };

    // The request log keeps this many of the latest requests; the counter counts all.
    static constexpr size_t kRequestLogLimit = 10000;

    ReaderEngine();

    // Bytes from a line at `lineBaud` (0 = not a serial line or unknown); returns all reply
    // bytes at once, without their delays.
    std::vector<uint8_t> OnBytes(const uint8_t* data, size_t size, int lineBaud);
    // The same with each reply and its delay, for fronts; `now` is when the bytes arrived.
    std::vector<Outgoing> Receive(const uint8_t* data, size_t size, int lineBaud,
                                  Clock::time_point now);

    // Device settings.
    void SetVersion(std::string version);
    void SetSerialNumber(std::vector<uint8_t> serialNumber);
    void SetReceiveMode(int mode);

    // The field. Placing takes the place of any transponder there; nullptr empties the field.
    void PlaceTransponder(std::unique_ptr<Transponder> transponder);
    void RemoveTransponder();
    // Gives the transponder on the field another identification; false when the field is
    // empty.
    bool SetTransponderId(const ChipId& id);
    // Makes the transponder on the field weak (it acknowledges writes and keeps its data) or
    // sound again; false when the field is empty.
    bool SetTransponderWeak(bool weak);
    std::optional<TransponderSnapshot> FieldSnapshot() const;

    // Observers of the field hear of every change of what lies on it: a transponder placed,
    // removed or given another identification, and a write the transponder accepted. They are
    // called on the thread that made the change, after the engine's lock is released, so they
    // may read the engine; they must be quick and must not change the field or the observers.
    // RemoveFieldObserver returns when no call of that observer runs any more.
    using FieldObserver = std::function<void()>;
    int AddFieldObserver(FieldObserver observer);
    void RemoveFieldObserver(int id);
    // Writes that a transponder accepted, all of them since the engine was made.
    uint64_t FieldWriteCount() const;

    // Realistic timing: every reply waits for the request's and its own time on the line and
    // for the command's radio time (Timing.h), on top of any reply delay. Off by default.
    void SetRealisticTiming(bool on);
    bool RealisticTiming() const;

    // Misbehaviour; each persistent setting is switched off with its "off" value.
    void SetCrcOnly(bool on);
    void SetBaudOnly(int baud);  // 0 = any
    void SetSilent(bool on);
    void SetNoise(std::vector<uint8_t> noise);  // empty = off
    void SetCutAfter(std::optional<size_t> bytes);
    void SetBadChecksum(bool on);
    void SetNextStatus(uint8_t status);  // one-shot
    void SetReplyDelay(std::chrono::milliseconds delay);
    void SetReplyAddress(std::optional<uint8_t> address);
    // Per command code, one request after the other (count 0 cancels): the next `count`
    // requests answer `status` without being carried out, or go unanswered.
    void FailCommand(uint8_t command, unsigned count, uint8_t status);
    void TimeOutCommand(uint8_t command, unsigned count);
    // The next request of `command` gets status 0 and exactly these reply data (one-shot).
    void ReplyToCommand(uint8_t command, std::vector<uint8_t> data);
    CommandFaults GetCommandFaults() const;
    // Switches every misbehaviour off, the per-command faults included.
    void ResetMisbehaviour();
    Misbehaviour GetMisbehaviour() const;

    // Observation.
    DeviceState State() const;
    std::string Version() const;
    int ReceiveMode() const;
    int DeviceMode() const;
    int UsbMode() const;
    std::vector<LoggedRequest> Requests() const;
    size_t RequestCount() const;
    void ClearRequests();

  private:
    std::optional<Outgoing> Answer(const Request& request, int lineBaud);
    void NotifyFieldObservers();

    mutable std::mutex m_mutex;
    CommandSet m_commands;
    DeviceState m_state;
    Misbehaviour m_misbehaviour;
    CommandFaults m_faults;
    bool m_realisticTiming = false;
    FrameScanner m_scanner;
    std::deque<LoggedRequest> m_log;
    size_t m_requestCount = 0;
    uint64_t m_fieldWrites = 0;

    // Apart from m_mutex, so that observers can read the engine while they are called.
    std::mutex m_observerMutex;
    std::vector<std::pair<int, FieldObserver>> m_observers;
    int m_nextObserverId = 1;
};

}  // namespace vsim
