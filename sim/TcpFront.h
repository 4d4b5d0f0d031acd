// A TCP server in front of the engine, as a network reader's module offers it: one client
// connection at a time (a new one replaces the old), bytes in both directions unchanged. It
// can drop the connection on request, gracefully or with a reset. Thread-safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "ReaderEngine.h"

namespace vsim {

class TcpFront {
  public:
    static constexpr uint16_t kDefaultPort = 10001;

    explicit TcpFront(ReaderEngine& engine);
    ~TcpFront();
    TcpFront(const TcpFront&) = delete;
    TcpFront& operator=(const TcpFront&) = delete;

    // Listens on address:port (port 0: chosen by the system); a running server moves there.
    // False when the address cannot be bound.
    bool Start(const std::string& address = "127.0.0.1", uint16_t port = kDefaultPort);
    void Stop();
    bool Running() const;
    std::string Address() const;
    uint16_t Port() const;

    // Closes the client's connection: with a FIN, or with a reset (reset = true).
    void Drop(bool reset);
    // Connections accepted since the start, and the port the latest client connected from.
    size_t Accepted() const { return m_accepted.load(); }
    int ClientPort() const { return m_clientPort.load(); }

  private:
    void Run();
    void CloseClient(bool reset);

    ReaderEngine& m_engine;
    mutable std::mutex m_lock;  // guards the listening state below
    std::string m_address;
    uint16_t m_port = 0;
    int m_listen = -1;
    int m_stopEvent = -1;
    int m_dropEvent = -1;
    std::thread m_thread;

    int m_client = -1;  // the server thread's own
    std::atomic<bool> m_dropReset{false};
    std::atomic<size_t> m_accepted{0};
    std::atomic<int> m_clientPort{0};
};

}  // namespace vsim
