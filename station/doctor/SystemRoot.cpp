#include "station/doctor/SystemRoot.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <filesystem>

#include "station/doctor/DoctorLine.h"

namespace station {

namespace {

// The attribute and state files read here are small; more is not one of them.
constexpr size_t kTextLimit = 64 * 1024;

}  // namespace

const char* VerdictWord(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return "ok";
        case Verdict::Problem:
            return "problem";
        case Verdict::CannotTell:
            break;
    }
    return "cannot tell";
}

bool HasProblem(const DoctorLines& lines) {
    return std::any_of(lines.begin(), lines.end(),
                       [](const DoctorLine& line) { return line.verdict == Verdict::Problem; });
}

CSystemRoot::CSystemRoot(std::string root) : m_root(std::move(root)) {
    while (!m_root.empty() && m_root.back() == '/') m_root.pop_back();
}

std::string CSystemRoot::Path(const std::string& absolute) const {
    return m_root + absolute;
}

bool CSystemRoot::ReadText(const std::string& absolute, std::string& text) const {
    std::ifstream file(Path(absolute), std::ios::binary);
    if (!file) return false;
    text.assign(kTextLimit, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) return false;
    text.resize(static_cast<size_t>(file.gcount()));
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return true;
}

std::vector<std::string> CSystemRoot::List(const std::string& absolute) const {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(Path(absolute), error), end; !error && it != end;
         it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool CSystemRoot::Exists(const std::string& absolute) const {
    std::error_code error;
    return std::filesystem::exists(Path(absolute), error);
}

std::string CSystemRoot::Resolve(const std::string& absolute) const {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(Path(absolute), error);
    if (error) return {};
    std::string text = real.string();
    if (m_root.empty()) return text;
    // A fixture's links lead into the fixture; strip its folder again.
    const std::string root = std::filesystem::canonical(m_root, error).string();
    if (error || text.rfind(root, 0) != 0) return {};
    text.erase(0, root.size());
    return text.empty() ? "/" : text;
}

std::string CSystemRoot::LinkTargetName(const std::string& absolute) const {
    const std::string target = Resolve(absolute);
    if (target.empty()) return {};
    return std::filesystem::path(target).filename().string();
}

UserIdentity UserIdentity::Current() {
    UserIdentity user;
    user.uid = geteuid();
    user.gid = getegid();
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        user.groups.resize(static_cast<size_t>(count));
        const int got = getgroups(count, user.groups.data());
        user.groups.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    if (const passwd* entry = getpwuid(user.uid); entry != nullptr && entry->pw_name != nullptr)
        user.name = entry->pw_name;
    if (user.name.empty()) {
        const char* variable = std::getenv("USER");
        user.name = variable != nullptr ? variable : "$USER";
    }
    return user;
}

bool UserIdentity::InGroup(gid_t group) const {
    return group == gid || std::find(groups.begin(), groups.end(), group) != groups.end();
}

}  // namespace station
