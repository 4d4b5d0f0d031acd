#include "CommandLine.h"

#include <cerrno>
#include <cstdlib>

namespace {

struct OptionSpec {
    const char* name;
    bool takesValue;
};

// Every option of every command; each command checks which of them it takes.
constexpr OptionSpec kOptions[] = {
    {"encoding", true}, {"map", true}, {"dry-run", false}, {"mark-left", false},
    {"port", true},   {"baud", true},     {"timeout", true},    {"json", false},
    {"help", false},  {"lan", false},     {"format", true},     {"chip", true},
    {"watch", false}, {"cycle", true},    {"log", true},        {"facility", true},
    {"number", true}, {"extra", true},    {"lock", false},      {"no-verify", false},
    {"from", true},   {"count", true},    {"to", true},         {"address", true},
    {"mask", true},   {"gateway", true},  {"name", true},       {"register", true},
    {"uid", true},    {"reissue", false}, {"next-free", false},
    {"version", false},  {"separator", true}, {"bom", false},
    {"reason", true},    {"overwrite", false}, {"read", false},   {"release", false},
    {"destroyed", false}, {"force", false},
    {"valid", false},    {"blocked", false},   {"without-card", false}, {"department", true},
    {"holder", true}, {"replace", true}, {"second", false}, {"holders-without-card", false},
    {"chip-checked", false},
};

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& option : kOptions) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

}  // namespace

bool OptionTakesValue(const std::string& name) {
    const OptionSpec* option = FindOption(name);
    return option != nullptr && option->takesValue;
}

bool IsKnownOption(const std::string& name) {
    return FindOption(name) != nullptr;
}

bool CCommandLine::Parse(int argc, char** argv, std::string& error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            m_words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h") arg = "--help";
        if (arg.rfind("--", 0) != 0) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const OptionSpec* option = FindOption(name);
        if (option == nullptr) {
            error = "unknown option '--" + name + "'";
            return false;
        }
        if (option->takesValue && !value) {
            if (i + 1 >= argc) {
                error = "option '--" + name + "' needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!option->takesValue && value) {
            error = "option '--" + name + "' takes no value";
            return false;
        }
        m_options[name] = value.value_or("");
        m_given.emplace_back(name, value.value_or(""));
    }
    return true;
}

std::optional<std::string> CCommandLine::Value(const std::string& option) const {
    const auto found = m_options.find(option);
    if (found == m_options.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> CCommandLine::Values(const std::string& option) const {
    std::vector<std::string> values;
    for (const auto& [name, value] : m_given) {
        if (name == option) values.push_back(value);
    }
    return values;
}

std::vector<std::string> CCommandLine::OptionNames() const {
    std::vector<std::string> names;
    for (const auto& [name, value] : m_options) names.push_back(name);
    return names;
}

bool ParseInteger(const std::string& text, long long min, long long max, long long& value) {
    if (text.empty() || (text[0] != '-' && (text[0] < '0' || text[0] > '9'))) return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0') return false;
    if (parsed < min || parsed > max) return false;
    value = parsed;
    return true;
}
