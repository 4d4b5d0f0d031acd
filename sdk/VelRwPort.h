// One connection to one reader: its transport, its SDK state and the request/reply
// exchange.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "WaitHooks.h"
#include "transport/SerialLine.h"

namespace vellf {

class CTCPSocketThread;
class CHidLink;

// SDK error codes kept as a port's last error (reader status bytes pass through as well).
namespace err {
constexpr int kUnknownHandle = LF_ERROR_UNKNOWN_HANDLE;
constexpr int kTimeout = LF_ERROR_TIMEOUT;
constexpr int kBufferTooSmall = LF_ERROR_BUFFER_TOO_SMALL;
constexpr int kNotPossible = LF_ERROR_NOT_POSSIBLE;
constexpr int kChipNotSupported = LF_ERROR_CHIP_NOT_SUPPORTED;
constexpr int kBlockOutOfRange = LF_ERROR_BLOCK_OUT_OF_RANGE;
constexpr int kChecksum = LF_ERROR_CHECKSUM;
constexpr int kEmptyReply = LF_ERROR_EMPTY_REPLY;
constexpr int kInvalidParameter = LF_ERROR_INVALID_PARAMETER;
constexpr int kNeedsExtendedCommands = LF_ERROR_NEEDS_EXTENDED_COMMANDS;
constexpr int kWrongFormat = LF_ERROR_WRONG_FORMAT;
}  // namespace err

class CVel_RW_Port : public CUSBSerialPort {
public:
    static constexpr unsigned kDefaultTimeoutMs = 500;
    static constexpr size_t kSerialWriteBuffer = 512;
    // Received bytes kept at most: a chattering line or a flooding peer keeps only its newest
    // bytes, while a reply (at most 260 bytes) always fits.
    static constexpr size_t kReceiveLimit = 4096;

    CVel_RW_Port();
    ~CVel_RW_Port() override;

    // Opens the transport that the name selects; 0, or the LfOpenPort result of a failure.
    int OpenTransport(const std::string& name, int baud, int options);
    void CloseTransport();

    // The serial id if there is one, else the TCP number, else the HID number, else 0 (a port
    // whose transport has gone away).
    int Handle() const;

    // The port's socket worker, made when the port has none. A LAN configuration port uses it
    // without starting it.
    CTCPSocketThread& TcpWorker();

    // Request/reply exchange.
    void BeginRequest(uint8_t command);
    void AppendRequest(uint8_t byte);
    void AppendRequest(const std::vector<uint8_t>& bytes);
    bool Transact();
    bool ReadReply(std::vector<uint8_t>& data);
    // BeginRequest, AppendRequest, Transact and ReadReply in one call; reply may be null.
    bool Exchange(uint8_t command, const std::vector<uint8_t>& data,
                  std::vector<uint8_t>* reply = nullptr);
    // With one or two bytes in front of a byte string.
    bool Exchange(uint8_t command, uint8_t first, uint8_t second,
                  const std::vector<uint8_t>& data, std::vector<uint8_t>* reply);
    // The same with m_timeoutMs raised to at least minTimeoutMs for this exchange only.
    bool ExchangeWithTimeout(unsigned minTimeoutMs, uint8_t command,
                             const std::vector<uint8_t>& data, std::vector<uint8_t>* reply);

    void SetLastError(int code) { m_lastError = code; }
    int LastError() const { return m_lastError; }

    std::atomic<int> m_serialId{0};
    std::vector<uint8_t> m_txBuffer;
    unsigned m_timeoutMs = kDefaultTimeoutMs;
    uint16_t m_capabilities = 3;
    uint8_t m_crcFraming = 0;
    uint8_t m_firmwareDigit = 0;
    int m_deviceType = 0;
    int m_address = 1;
    std::atomic<int> m_lastError{0};
    int m_receiveMode = -1;
    std::atomic<uint8_t> m_background{0};
    // Set by a card write once its first block command went out (LfWriteSentBlocks).
    std::atomic<uint8_t> m_blockCommandSent{0};

protected:
    void OnByteReceived(uint8_t byte) override;
    void OnBytesReceived(const uint8_t* data, size_t size) override;

private:
    using Clock = std::chrono::steady_clock;

    void SendFrame(const std::vector<uint8_t>& frame);
    // The exchange whose frame went out last is over (answered or not).
    void EndExchange(bool complete);
    // The transport cannot carry a frame any more (a serial line that has gone away).
    bool TransportGone() const;
    bool TransactAndRead(std::vector<uint8_t>* reply);

    // Per transport (VelRwPortTcp.cpp, VelRwPortHid.cpp). Open answers 0 or the LfOpenPort
    // result of the failure.
    int OpenTcpTransport(const std::string& name);
    void CloseTcpTransport();
    int TcpHandle() const;
    void SendTcpFrame(const std::vector<uint8_t>& frame);
    void EndTcpExchange(bool complete);
    int OpenHidTransport(const std::string& name);
    void CloseHidTransport();
    int HidHandle() const;
    void SendHidFrame(const std::vector<uint8_t>& frame);
    // Reads and drops HID input that is already pending (before a request goes out).
    void DrainHidInput();
    // Reads pending HID input for up to waitMs and hands it to OnBytesReceived; the thread
    // that waits for a reply calls it, since HID has no receive thread of its own.
    void PollHidInput(int waitMs);
    bool WaitForReply(const WaitHooks& hooks);
    bool WaitForBytes(std::unique_lock<std::mutex>& lock, size_t count, Clock::time_point start,
                      const WaitHooks& hooks);
    size_t ExpectedReplySize() const;

    std::unique_ptr<CTCPSocketThread> m_tcp;  // set while the port is a network reader
    std::unique_ptr<CHidLink> m_hid;          // set while the port is a HID reader

    std::mutex m_rxLock;  // guards m_rxBuffer and m_rxWanted
    std::condition_variable m_rxArrived;
    std::vector<uint8_t> m_rxBuffer;
    size_t m_rxWanted = 0;  // the waiter's target size; 0 = nobody waits
};

}  // namespace vellf
