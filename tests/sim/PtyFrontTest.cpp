#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "VirtualReader.h"

namespace vsim {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

const Bytes kVersionRequest = {0x02, 0x01, 0xF0, 0x00, 0xF1};
const Bytes kVersionReply = {0x02, 0x01, 0x00, 0x04, '2', '4', '3', 'c', 0x53};

// The client's side: opens the line as the SDK does.
class Client {
  public:
    Client(const std::string& path, speed_t speed) {
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0) SetSpeed(speed);
    }
    ~Client() {
        if (m_fd >= 0) close(m_fd);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    int fd() const { return m_fd; }

    bool SetSpeed(speed_t speed) {
        termios tio{};
        if (tcgetattr(m_fd, &tio) != 0) return false;
        cfmakeraw(&tio);
        cfsetspeed(&tio, speed);
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }

    // Writes the request and collects up to `expected` reply bytes within the timeout.
    Bytes Exchange(const Bytes& request, size_t expected, std::chrono::milliseconds timeout) {
        if (write(m_fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
            return {};
        }
        Bytes reply;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (reply.size() < expected) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            uint8_t buffer[64];
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0) break;
            reply.insert(reply.end(), buffer, buffer + n);
        }
        return reply;
    }

  private:
    int m_fd = -1;
};

class PtyFrontTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_reader.Start()); }
    VirtualReader m_reader;
};

TEST_F(PtyFrontTest, AnswersAClientAndSeesItsBaudRate) {
    Client client(m_reader.Path(), B9600);
    ASSERT_GE(client.fd(), 0);
    EXPECT_EQ(client.Exchange(kVersionRequest, kVersionReply.size(), 2000ms), kVersionReply);
    ASSERT_EQ(m_reader.Engine().Requests().size(), 1u);
    EXPECT_EQ(m_reader.Engine().Requests()[0].lineBaud, 9600);

    m_reader.Engine().SetBaudOnly(19200);
    EXPECT_TRUE(client.Exchange(kVersionRequest, 1, 200ms).empty());
    ASSERT_TRUE(client.SetSpeed(B19200));
    EXPECT_EQ(client.Exchange(kVersionRequest, kVersionReply.size(), 2000ms), kVersionReply);
}

TEST_F(PtyFrontTest, ServesAClientThatClosesAndReopens) {
    { Client first(m_reader.Path(), B9600); }
    Client second(m_reader.Path(), B9600);
    EXPECT_EQ(second.Exchange(kVersionRequest, kVersionReply.size(), 2000ms), kVersionReply);
}

TEST_F(PtyFrontTest, RepliesLateWhenTold) {
    m_reader.Engine().SetReplyDelay(150ms);
    Client client(m_reader.Path(), B9600);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Exchange(kVersionRequest, kVersionReply.size(), 2000ms), kVersionReply);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

TEST_F(PtyFrontTest, UnplugHangsUpTheClient) {
    Client client(m_reader.Path(), B9600);
    ASSERT_GE(client.fd(), 0);
    m_reader.Unplug();
    EXPECT_TRUE(m_reader.Path().empty());
    pollfd p{client.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    EXPECT_NE(p.revents & POLLHUP, 0);
    // A hung-up terminal reads as end of file and refuses writes.
    uint8_t byte = 0;
    EXPECT_LE(read(client.fd(), &byte, 1), 0);
    EXPECT_EQ(write(client.fd(), kVersionRequest.data(), kVersionRequest.size()), -1);
    EXPECT_EQ(errno, EIO);
}

TEST(PtyFront, LinksToTheLineWhileRunning) {
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / ("vsim-link-" + std::to_string(getpid()));
    VirtualReader reader;
    ASSERT_TRUE(reader.Start(link.string()));
    EXPECT_EQ(std::filesystem::read_symlink(link), reader.Path());
    Client client(link.string(), B19200);
    EXPECT_EQ(client.Exchange(kVersionRequest, kVersionReply.size(), 2000ms), kVersionReply);
    reader.Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

}  // namespace
}  // namespace vsim
