// The socket of a network reader: a TCP stream to the reader, or a UDP socket of the LAN
// configuration protocol (datagram mode). In stream mode only the socket worker's thread uses
// it; in datagram mode only the thread that runs the LAN operation.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "transport/Adapter.h"

namespace vellf {

class CTCPSocket {
  public:
    using CAdapter = vellf::CAdapter;
    // Receives stream bytes in order, on the socket worker's thread.
    using ByteSink = std::function<void(const uint8_t* data, size_t size)>;

    static constexpr int kDefaultPort = 10001;
    static constexpr size_t kReceiveChunk = 513;
    static constexpr uint16_t kLanUdpPort = 30718;
    static constexpr const char* kBroadcast = "255.255.255.255";
    static constexpr int kDatagramsPerRound = 256;

    CTCPSocket() = default;
    ~CTCPSocket();
    CTCPSocket(const CTCPSocket&) = delete;
    CTCPSocket& operator=(const CTCPSocket&) = delete;

    bool IsValid() const { return m_fd >= 0; }
    int Number() const { return m_fd; }
    void Close();

    // Stream mode.
    // A stream socket bound to m_localAddress (any when empty) and localPort (0: chosen by the
    // system); reuseAddress sets SO_REUSEADDR before the bind. 0 or the errno of the failure.
    int CreateStream(int localPort, bool reuseAddress);
    int SetReuseAddress();
    // Connects to m_host:m_port. Gives up with ECANCELED when stopFd becomes readable and with
    // ETIMEDOUT after limitMs. 0 or the errno of the failure.
    int Connect(int stopFd, int limitMs);
    // Sends all bytes: when the socket takes only part of them, waits for room (at most
    // limitMs in all, ECANCELED when stopFd becomes readable) and sends the rest, so a frame
    // never goes out cut. 0 or the errno of the failure (ETIMEDOUT when no room came).
    int Send(const std::vector<uint8_t>& bytes, int stopFd, int limitMs);
    // Makes the next close reset the stream: unsent bytes are dropped and nothing lingers.
    void Abort();
    // The receive notification: the socket reported poll events (rdhup: the reader shut its
    // side down). Delivers bytes to m_ownerPort, or handles the end of the connection.
    void OnReceive(bool rdhup);
    // The close notification (remote close, failed send) with an errno value, 0 = clean.
    void OnClose(int code);

    // Datagram mode.
    // m_host := host; a UDP socket on an automatic port bound to m_localAddress, SO_BROADCAST.
    bool OpenUdp(const std::string& host);
    bool CreateDatagram();
    // Closes the socket only while in datagram mode, and leaves datagram mode.
    void CloseDatagram();
    // Sends to the LAN port of `to` (dotted text; the broadcast address included).
    bool SendDatagram(const std::string& to, const std::vector<uint8_t>& bytes);
    // Waits up to waitMs for datagrams and stores every one that has arrived in the queue.
    void ReceiveDatagrams(int waitMs);
    // Stores one received datagram (without guards beyond dropping own broadcasts and those too
    // short to hold a reply code); the receive path and tests use it.
    void StoreDatagram(uint32_t sender, const uint8_t* data, size_t size);
    // The oldest queued datagram: its reply code, the sender as dotted text and the bytes after
    // the 4-byte header. False when the queue is empty.
    bool PopDatagram(uint8_t& code, std::string& sender, std::vector<uint8_t>& body);
    void ClearDatagrams();

    // Adapter choice.
    bool ListAdapters();
    bool SelectAdapterForHost(const std::string& host);
    bool SelectFirstAdapter();
    bool SelectNextAdapter();
    static bool SameSubnet(const CAdapter& adapter, const std::string& host) {
        return vellf::SameSubnet(adapter, host);
    }

    std::deque<std::vector<uint8_t>> m_datagramQueue;  // sender (4 bytes) + datagram
    std::mutex m_queueLock;                            // guards m_datagramQueue
    uint8_t m_datagramMode = 0;
    std::string m_host;
    int m_port = kDefaultPort;
    uint8_t m_connected = 0;
    std::string m_localAddress;
    std::vector<CAdapter> m_adapters;
    ByteSink m_ownerPort;

  private:
    int m_fd = -1;
};

}  // namespace vellf
