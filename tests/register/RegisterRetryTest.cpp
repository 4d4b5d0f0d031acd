// A change whose COMMIT reached the server but whose reply was lost (the connection cut right
// after it) is not reported as failed or refused: the retry on a new connection finds the
// change's request id in the history and reports what was committed. The cut is made by a
// loopback relay between the register and a real PostgreSQL server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSqlQuery>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "RegisterCases.h"

using namespace station;
using registertest::Card;

namespace {

// Relays connections from a loopback port to the server; once armed, it passes the next
// COMMIT on to the server, swallows the server's reply and cuts that connection.
class CommitCutter {
  public:
    explicit CommitCutter(int serverPort) : m_serverPort(serverPort) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(0);
        if (m_listen < 0 || ::bind(m_listen, Cast(address), sizeof address) != 0 ||
            ::listen(m_listen, 8) != 0 || ::pipe(m_stop.data()) != 0)
            return;
        socklen_t size = sizeof address;
        ::getsockname(m_listen, Cast(address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Relay(); });
    }
    ~CommitCutter() {
        if (m_thread.joinable()) {
            const char byte = 0;
            (void)!::write(m_stop[1], &byte, 1);
            m_thread.join();
        }
        for (const Pair& pair : m_pairs) {
            ::close(pair.client);
            ::close(pair.server);
        }
        for (int fd : {m_listen, m_stop[0], m_stop[1]})
            if (fd >= 0) ::close(fd);
    }

    int Port() const { return m_port; }
    void Arm() { m_armed = true; }
    int Cuts() const { return m_cuts; }

  private:
    struct Pair {
        int client;
        int server;
    };

    static sockaddr* Cast(sockaddr_in& address) { return reinterpret_cast<sockaddr*>(&address); }
    static sockaddr_in Loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    void Accept() {
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client < 0) return;
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(m_serverPort);
        if (server < 0 || ::connect(server, Cast(address), sizeof address) != 0) {
            ::close(client);
            if (server >= 0) ::close(server);
            return;
        }
        m_pairs.push_back({client, server});
    }

    // The simple query "COMMIT" as the client library sends it.
    static bool IsCommit(const char* data, ssize_t size) {
        static const char kCommit[] = "COMMIT";
        return size >= 1 + 4 + 7 && data[0] == 'Q' &&
               std::memcmp(data + 5, kCommit, sizeof kCommit) == 0;
    }

    // Moves one chunk; false when the pair ends.
    bool Forward(Pair& pair, bool fromClient) {
        std::array<char, 65536> buffer{};
        const int from = fromClient ? pair.client : pair.server;
        const int to = fromClient ? pair.server : pair.client;
        const ssize_t size = ::read(from, buffer.data(), buffer.size());
        if (size <= 0) return false;
        if (::write(to, buffer.data(), static_cast<size_t>(size)) != size) return false;
        if (!fromClient || !m_armed || !IsCommit(buffer.data(), size)) return true;
        // The server commits and answers; the answer never reaches the client.
        pollfd reply{pair.server, POLLIN, 0};
        if (::poll(&reply, 1, 5000) > 0) (void)!::read(pair.server, buffer.data(), buffer.size());
        m_armed = false;
        ++m_cuts;
        return false;
    }

    void Relay() {
        for (;;) {
            std::vector<pollfd> fds = {{m_stop[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
            for (const Pair& pair : m_pairs) {
                fds.push_back({pair.client, POLLIN, 0});
                fds.push_back({pair.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 1000) < 0) return;
            if (fds[0].revents != 0) return;
            // The pairs polled; one accepted now is polled the next round.
            const std::size_t polled = m_pairs.size();
            if (fds[1].revents != 0) Accept();
            for (std::size_t i = 0; i < polled; ++i) {
                const pollfd& client = fds[2 + 2 * i];
                const pollfd& server = fds[3 + 2 * i];
                bool open = true;
                if (client.revents != 0) open = Forward(m_pairs[i], true);
                if (open && server.revents != 0) open = Forward(m_pairs[i], false);
                if (open) continue;
                ::close(m_pairs[i].client);
                ::close(m_pairs[i].server);
                m_pairs[i] = {-1, -1};
            }
            std::erase_if(m_pairs, [](const Pair& pair) { return pair.client < 0; });
        }
    }

    int m_serverPort;
    int m_listen = -1;
    std::array<int, 2> m_stop{-1, -1};
    int m_port = 0;
    std::atomic<bool> m_armed{false};
    std::atomic<int> m_cuts{0};
    std::vector<Pair> m_pairs;  // the relay thread's
    std::thread m_thread;
};

TEST(RegisterRetry, AChangeWhoseCommitReplyWasLostReportsWhatItCommitted) {
    registertest::RegisterDatabases databases(RegisterSettings::Kind::PostgreSQL);
    ASSERT_NE(databases.Server(), nullptr);
    RegisterSettings settings = databases.Fresh();
    CommitCutter cutter(settings.port);
    ASSERT_GT(cutter.Port(), 0);
    settings.port = cutter.Port();
    settings.sslMode = QStringLiteral("disable");  // the relay reads the protocol
    CCardRegister cardRegister(settings, registertest::kVersion);
    ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();

    // Each step runs with its COMMIT reply lost, and reports what it committed.
    int cuts = 0;
    const auto cut = [&] {
        cutter.Arm();
        return ++cuts;
    };
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    cut();
    ASSERT_EQ(cardRegister.Reserve(Card(100), false, rowId, earlier), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(cutter.Cuts(), cuts);
    ASSERT_GT(rowId, 0);
    cut();
    EXPECT_TRUE(cardRegister.Confirm(rowId, true, QStringLiteral("E1")))
        << cardRegister.LastError().toStdString();
    cut();
    EXPECT_TRUE(cardRegister.Revoke(rowId, RevokeReason::Lost))
        << cardRegister.LastError().toStdString();
    CardRecord next = Card(0);
    std::int64_t nextRow = 0;
    cut();
    ASSERT_EQ(cardRegister.ReserveNextFree(next, false, 200, 300, nextRow),
              ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(next.fields.number, 200);
    cut();
    EXPECT_TRUE(cardRegister.HoldUnverified(nextRow, QString()))
        << cardRegister.LastError().toStdString();
    cut();
    EXPECT_TRUE(cardRegister.ResolveDestroyed(nextRow)) << cardRegister.LastError().toStdString();
    const std::int64_t released = registertest::ReserveOk(cardRegister, Card(300));
    cut();
    EXPECT_TRUE(cardRegister.Release(released)) << cardRegister.LastError().toStdString();
    EXPECT_EQ(cutter.Cuts(), cuts);

    // Each change happened once.
    const std::vector<RegisterEntry> rows = registertest::All(cardRegister);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(registertest::Row(cardRegister, rowId).state, RegisterEntry::State::Revoked);
    EXPECT_EQ(registertest::Row(cardRegister, nextRow).state, RegisterEntry::State::Revoked);
    EXPECT_EQ(registertest::Kinds(cardRegister.History(rowId)),
              (std::vector<QString>{"reserved", "verified", "revoked"}));
    EXPECT_EQ(registertest::Kinds(cardRegister.History(nextRow)),
              (std::vector<QString>{"reserved", "unverified", "resolved"}));
}

}  // namespace
