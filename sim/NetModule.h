// The network module of a simulated network reader: answers the LAN configuration protocol on
// UDP port 30718 (records, module information, record writes, IP-SETUP in both forms, apply)
// and moves the TCP front to the address and port its network record says once the module
// takes new settings into use. It answers from the record's address (the host must own it);
// with DHCP (address 0.0.0.0) from whatever address the system picks. Thread-safe.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "NetModuleRecords.h"
#include "TcpFront.h"

namespace vsim {

class NetModule {
  public:
    static constexpr uint16_t kUdpPort = 30718;
    // After IP-SETUP or apply the module restarts and stays silent this long.
    static constexpr std::chrono::milliseconds kRestartTime{300};

    // tcp may be null (no TCP front); tcpAddress is where the front listens while the module
    // has no fixed address.
    NetModule(TcpFront* tcp, std::string tcpAddress);
    ~NetModule();
    NetModule(const NetModule&) = delete;
    NetModule& operator=(const NetModule&) = delete;

    // Listens on bindAddress:port (0.0.0.0 to hear broadcasts) and puts the TCP front where
    // the record says. False when the socket cannot be bound.
    bool Start(const std::string& bindAddress, uint16_t port = kUdpPort);
    void Stop();

    // Settings as comma-separated KEY=VALUE: ip=A.B.C.D|dhcp, bits=N, gw=A.B.C.D, port=N,
    // name=TEXT, mac=12 hex digits, tag=TEXT, model=TEXT. Taken into use at once.
    bool Configure(const std::string& text, std::string& error);
    std::string Describe() const;

    // Misbehaviour.
    void SetSilent(bool on);
    void SetInfoAnswered(bool on);
    // Record n's replies carry this many bytes (cut or zero-padded); nullopt: as stored.
    void SetReplyLength(size_t n, std::optional<size_t> length);
    // Before every reply, this many datagrams the client must not accept.
    void SetFlood(size_t count);
    // Before every reply, this datagram (empty = off).
    void SetGarbage(std::vector<uint8_t> bytes);

    // Request codes received, oldest first.
    std::vector<uint8_t> Requests() const;
    void ClearRequests();

  private:
    void Run();
    void Handle(const uint8_t* data, size_t size, uint32_t sender, uint16_t senderPort,
                uint32_t destination);
    void Reply(uint32_t to, uint16_t port, uint8_t code, const std::vector<uint8_t>& body);
    void SendRaw(uint32_t to, uint16_t port, const std::vector<uint8_t>& datagram);
    void HandleIpSetup(const uint8_t* data, size_t size);
    // Takes record 0 into use: TCP front placement and a short restart. m_lock held.
    void Activate();
    std::vector<uint8_t> Cut(size_t n, const std::vector<uint8_t>& record) const;

    TcpFront* m_tcp;
    const std::string m_tcpAddress;
    int m_socket = -1;
    int m_stopEvent = -1;
    std::thread m_thread;

    mutable std::mutex m_lock;  // guards everything below
    NetModuleRecords m_records;
    uint32_t m_activeAddress = 0;  // address in use; 0 = DHCP
    std::chrono::steady_clock::time_point m_silentUntil{};
    bool m_silent = false;
    bool m_infoAnswered = true;
    std::map<size_t, size_t> m_replyLength;
    size_t m_flood = 0;
    std::vector<uint8_t> m_garbage;
    std::vector<uint8_t> m_requests;
};

}  // namespace vsim
