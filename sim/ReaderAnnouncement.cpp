#include "ReaderAnnouncement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vsim {

namespace {

// A folder this user owns and nobody else may enter; made when missing. In the shared /tmp
// another user could have made it first, to read or plant announcements.
bool PrivateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & 077) == 0;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string AnnouncementFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/orvex-fsk/readers";
    return "/tmp/orvex-fsk-" + std::to_string(getuid()) + "/readers";
}

bool ReaderAnnouncement::Announce(const std::string& line, const std::string& name) {
    Withdraw();
    // One entry per line in the file: a line break in the name would start a forged one.
    const auto hasControl = [](const std::string& text) {
        for (const char c : text)
            if (static_cast<unsigned char>(c) < 0x20) return true;
        return false;
    };
    if (line.empty() || line[0] != '/' || hasControl(line) || hasControl(name)) return false;
    const std::string folder = AnnouncementFolder();
    const std::string parent = folder.substr(0, folder.rfind('/'));
    if (!PrivateFolder(parent) || !PrivateFolder(folder)) return false;

    // Several readers of one process (tests) each get a file of their own.
    static std::atomic<unsigned> counter{0};
    const std::string path = folder + "/" + std::to_string(getpid()) + "-" +
                             std::to_string(counter.fetch_add(1)) + ".reader";
    const std::string text =
        "pid=" + std::to_string(getpid()) + "\nline=" + line + "\nname=" + name + "\n";
    // Written beside and renamed, so that the station never reads half a file.
    const std::string partial = path + ".part";
    const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, text);
    if (close(fd) != 0 || !written || rename(partial.c_str(), path.c_str()) != 0) {
        unlink(partial.c_str());
        return false;
    }
    m_path = path;
    return true;
}

void ReaderAnnouncement::Withdraw() {
    if (m_path.empty()) return;
    unlink(m_path.c_str());
    m_path.clear();
}

}  // namespace vsim
