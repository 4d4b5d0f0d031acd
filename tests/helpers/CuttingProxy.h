// A loopback TCP proxy in front of a PostgreSQL server that can lose the reply to a COMMIT,
// as a network that fails at the worst moment does: once armed, it forwards the next COMMIT
// a client sends, waits until the server answers (the transaction is decided then), and
// closes both sides without passing the answer on. Every other byte goes through unchanged.
// It reads the client's messages of PostgreSQL's protocol, so it works only without TLS.
#pragma once

#include <atomic>
#include <thread>

namespace pgtest {

class CuttingProxy {
  public:
    // Forwards to 127.0.0.1:targetPort.
    explicit CuttingProxy(int targetPort);
    // Closes every connection and ends the proxy's thread.
    ~CuttingProxy();
    CuttingProxy(const CuttingProxy&) = delete;
    CuttingProxy& operator=(const CuttingProxy&) = delete;

    // Listens on a free loopback port; false when it cannot.
    bool Start();
    int Port() const { return m_port; }

    // Armed, the next COMMIT's reply is lost (once); disarming takes back an unused arming.
    void CutNextCommit(bool armed) { m_armed = armed; }
    // How many replies were lost so far.
    int Cuts() const { return m_cuts; }

  private:
    void Run();

    int m_targetPort;
    int m_port = 0;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_armed{false};
    std::atomic<int> m_cuts{0};
    std::thread m_thread;
};

}  // namespace pgtest
