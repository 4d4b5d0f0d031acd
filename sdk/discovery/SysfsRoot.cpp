#include "discovery/SysfsRoot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace vellf {

namespace {

// Attribute files are small; anything longer is not one of the files read here.
constexpr size_t kTextLimit = 4096;

// Never destroyed: ports closed at process exit, after other statics are gone, still use it.
std::mutex& RootLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

std::string& Root() {
    static auto* root = new std::string();
    return *root;
}

}  // namespace

void SetSysfsRoot(const std::string& root) {
    std::string cleaned = root;
    while (!cleaned.empty() && cleaned.back() == '/') cleaned.pop_back();
    std::lock_guard<std::mutex> guard(RootLock());
    Root() = cleaned;
}

std::string SysfsPath(const std::string& absolutePath) {
    std::lock_guard<std::mutex> guard(RootLock());
    return Root() + absolutePath;
}

bool ReadSysfsBytes(const std::string& path, std::vector<uint8_t>& bytes, size_t limit) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    bool ok = true;
    uint8_t chunk[512];
    while (bytes.size() < limit) {
        const ssize_t got = read(fd, chunk, std::min(sizeof chunk, limit - bytes.size()));
        if (got > 0) {
            bytes.insert(bytes.end(), chunk, chunk + got);
        } else {
            ok = got == 0;
            break;
        }
    }
    close(fd);
    return ok;
}

bool ReadSysfsText(const std::string& path, std::string& text) {
    std::vector<uint8_t> bytes;
    if (!ReadSysfsBytes(path, bytes, kTextLimit)) return false;
    text.assign(bytes.begin(), bytes.end());
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return true;
}

bool ListSysfsDirectory(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return true;
}

bool SysfsEntryExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

void SplitTrailingNumber(const std::string& name, std::string& stem, long& number) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    // Very long digit runs are not device numbers; they sort as a plain name.
    if (digits == name.size() || name.size() - digits > 9) {
        stem = name;
        number = -1;
        return;
    }
    stem = name.substr(0, digits);
    number = std::stol(name.substr(digits));
}

bool NumericNameLess(const std::string& a, const std::string& b) {
    std::string stemA;
    std::string stemB;
    long numberA = 0;
    long numberB = 0;
    SplitTrailingNumber(a, stemA, numberA);
    SplitTrailingNumber(b, stemB, numberB);
    if (stemA != stemB) return stemA < stemB;
    return numberA < numberB;
}

}  // namespace vellf
