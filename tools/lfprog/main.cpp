// lfprog: the station on the command line, for installers and for scripts. It reaches the
// reader through the SDK's C interface and runs cards with the station's own run logic.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "Commands.h"

namespace {

const CommandInfo* FindCommand(const std::vector<std::string>& words, size_t& used) {
    for (const CommandInfo& command : Commands()) {
        const std::string name = command.words;
        const size_t blank = name.find(' ');
        if (blank == std::string::npos) {
            if (!words.empty() && words[0] == name) {
                used = 1;
                return &command;
            }
        } else if (words.size() >= 2 && words[0] == name.substr(0, blank) &&
                   words[1] == name.substr(blank + 1)) {
            used = 2;
            return &command;
        }
    }
    return nullptr;
}

// The commands of a group ("register", "lan"), for the group's word alone.
std::string GroupCommands(const std::string& group) {
    std::string text;
    for (const CommandInfo& command : Commands()) {
        const std::string name = command.words;
        if (name.rfind(group + " ", 0) != 0) continue;
        std::string words = name;
        words.resize(17, ' ');
        text += "  " + words + command.summary + "\n";
    }
    return text;
}

bool TakesOption(const CommandInfo& command, const std::string& option) {
    if (option == "json" || option == "help") return true;
    for (const char* name : command.options) {
        if (option == name) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // The card register's database drivers are plugins, which Qt loads for an application.
    QCoreApplication application(argc, argv);
    CCommandLine line;
    std::string error;
    const bool parsed = line.Parse(argc, argv, error);
    const COutput out(line.Has("json"));
    if (!parsed) return out.Fail(kExitUsage, error + " ('lfprog --help' lists the options)");

    std::vector<std::string> words = line.Words();
    if (words.empty() && line.Has("version")) {
        std::fputs("lfprog " LFPROG_VERSION "\n", stdout);
        return kExitSuccess;
    }
    if (!words.empty() && words[0] == "help") {
        words.erase(words.begin());
        if (words.empty()) {
            std::fputs(OverviewHelp().c_str(), stdout);
            return kExitSuccess;
        }
        size_t used = 0;
        if (const CommandInfo* command = FindCommand(words, used)) {
            std::fputs(command->help, stdout);
            return kExitSuccess;
        }
    }
    if (words.empty()) {
        if (line.Has("help")) {
            std::fputs(OverviewHelp().c_str(), stdout);
            return kExitSuccess;
        }
        std::fputs(OverviewHelp().c_str(), stderr);
        return kExitUsage;
    }
    size_t used = 0;
    const CommandInfo* command = FindCommand(words, used);
    if (command == nullptr && words.size() == 1 && !GroupCommands(words[0]).empty()) {
        const std::string text = "'lfprog " + words[0] + "' needs one of its commands:\n" +
                                 GroupCommands(words[0]);
        std::fputs(text.c_str(), line.Has("help") ? stdout : stderr);
        return line.Has("help") ? kExitSuccess : kExitUsage;
    }
    if (command == nullptr)
        return out.Fail(kExitUsage,
                        "unknown command '" + words[0] + "' ('lfprog --help' lists them)");
    if (line.Has("help")) {
        std::fputs(command->help, stdout);
        return kExitSuccess;
    }
    for (const std::string& option : line.OptionNames()) {
        if (!TakesOption(*command, option))
            return out.Fail(kExitUsage, std::string(command->words) + " takes no option --" +
                                            option + " ('lfprog " + command->words +
                                            " --help' lists its options)");
    }
    CommandContext context{line, out, {words.begin() + static_cast<long>(used), words.end()}};
    if (!command->takesOperands && !context.operands.empty())
        return out.Fail(kExitUsage,
                        "unexpected '" + context.operands[0] + "' after " + command->words);
    return command->run(context);
}
