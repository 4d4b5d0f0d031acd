// The TCP transport of network readers: one worker thread per port owns the socket, connects
// it, sends the frames the application queues and hands every received byte to the port. When
// the connection drops, the next frame to send re-establishes it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/TcpSocket.h"

namespace vellf {

class CTCPSocketThread {
  public:
    // The first connect gives up after this long (the reader is not there).
    static constexpr int kConnectLimitMs = 20000;
    static constexpr int kCreateAttempts = 6;
    static constexpr int kCreateRetryMs = 200;
    static constexpr int kAddressInUseRetries = 5;
    static constexpr int kStopWaitMs = 1000;
    // A frame that the socket cannot take within this long is given up with its connection.
    static constexpr int kSendLimitMs = 1000;
    // Name resolution window per adapter for a bracketed device name.
    static constexpr int kResolveWindowMs = 200;

    explicit CTCPSocketThread(CTCPSocket::ByteSink ownerPort);
    ~CTCPSocketThread();
    CTCPSocketThread(const CTCPSocketThread&) = delete;
    CTCPSocketThread& operator=(const CTCPSocketThread&) = delete;

    // Application thread: starts the worker on a LAN port name (a.b.c.d, a.b.c.d-p, [name],
    // [name]a.b.c.d-p) and waits until its first connect is over. True when connected; false
    // also when the worker cannot start at all.
    bool StartConnect(const std::string& name);
    // Any thread: queues the frame of a new exchange for the worker to send. Frames of
    // earlier exchanges that are still queued are dropped.
    bool QueueFrame(const std::vector<uint8_t>& frame);
    // The exchange of the last queued frame is over. Its frame is never sent after this, and
    // when it went out without a complete reply (complete = false) the worker resets the
    // connection at once: no late reply can be taken for a later request, and the kernel
    // stops retransmitting a frame the reader must not get after its exchange gave up.
    void EndExchange(bool complete);
    // Application thread: ends the worker, which closes the socket, and gives the TCP number
    // back. Safe while another thread queues frames.
    void StopWorker();

    // A name with a bracketed device name becomes the address text the device answers with
    // (a.b.c.d-p, empty when nobody answers); any other name is returned unchanged. Uses this
    // worker's socket and pumps the wait hooks only when asked to (the application thread).
    std::string ResolveAddress(const std::string& name, bool pump);

    // LAN configuration: finds the adapter on which the device at `address` answers a record
    // query and leaves the socket there in datagram mode, with a TCP number taken.
    bool ConnectUdp(const std::string& address);

    void TakeTcpNumber();
    int TcpNumber() const { return m_tcpNumber.load(); }

    CTCPSocket m_socket;
    std::string m_connectName;

  private:
    void WorkerRun();
    bool ConnectTo(const std::string& name);
    bool EnsureConnected();
    void SendQueued();
    // Stream bytes from the socket: handed on only while the live exchange's frame is out.
    void DeliverBytes(const uint8_t* data, size_t size);
    bool Stopping() const { return m_stopRequested.load(); }
    // Sleeps up to ms unless a stop comes first; false on stop.
    bool SleepUnlessStopped(int ms) const;
    void CloseEvents();

    struct QueuedFrame {
        uint64_t exchange = 0;
        std::vector<uint8_t> bytes;
    };
    bool SendFrame(const QueuedFrame& frame);

    std::mutex m_sendLock;  // guards m_sendQueue and the exchange numbers below
    std::deque<QueuedFrame> m_sendQueue;
    uint64_t m_lastExchange = 0;  // number of the newest exchange
    uint64_t m_liveExchange = 0;  // the exchange that waits for its reply, 0 = none
    uint64_t m_sentExchange = 0;  // the newest exchange whose frame went out
    bool m_resetConnection = false;  // a frame went out unanswered: start afresh
    CTCPSocket::ByteSink m_ownerPort;
    int m_sendEvent = -1;  // eventfd: readable while m_sendQueue holds frames
    int m_stopEvent = -1;  // eventfd: readable once a stop was requested
    std::atomic<int> m_tcpNumber{0};
    std::atomic<bool> m_stopRequested{false};

    std::mutex m_stateLock;  // guards m_started, m_finished, m_connectOk
    std::condition_variable m_stateChanged;
    bool m_started = false;
    bool m_finished = false;
    bool m_connectOk = false;
    std::thread m_worker;
};

}  // namespace vellf
