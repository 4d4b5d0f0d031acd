#include "FrontIo.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

namespace vsim {

bool WaitUntilOrStop(int stopEvent, ReaderEngine::Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - ReaderEngine::Clock::now());
        if (left.count() <= 0) return true;
        pollfd stop{stopEvent, POLLIN, 0};
        const int r = poll(&stop, 1, static_cast<int>(std::min<int64_t>(left.count(), INT_MAX)));
        if (r > 0) return false;
        if (r < 0 && errno != EINTR) return false;
    }
}

bool WriteAllOrStop(int stopEvent, int fd, const std::vector<uint8_t>& bytes, bool isSocket) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = isSocket
                              ? send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        // The client is not reading: wait for room or a stop.
        std::array<pollfd, 2> fds{{{stopEvent, POLLIN, 0}, {fd, POLLOUT, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return false;
        if (fds[0].revents != 0) return false;
    }
    return true;
}

}  // namespace vsim
