// lfprog's bash completion, run as bash runs it: the completion file sourced, COMP_WORDS and
// COMP_CWORD set, the function called, COMPREPLY read back.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <set>
#include <sstream>

namespace {

constexpr char kCompletion[] = ORVEX_SOURCE_DIR "/packaging/completion/lfprog";

// Bash quoting of one word.
std::string Quoted(const std::string& word) {
    std::string text = "'";
    for (const char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

// What the completion offers for the words typed, the last one being completed.
std::set<std::string> Complete(const std::vector<std::string>& words) {
    std::string array;
    for (const std::string& word : words) array += " " + Quoted(word);
    const std::string script = std::string("source ") + Quoted(kCompletion) +
                               " && COMP_WORDS=(" + Quoted(LFPROG_PATH) + array + ")" +
                               " && COMP_CWORD=" + std::to_string(words.size()) + " && _lfprog " +
                               Quoted(LFPROG_PATH) + " && printf '%s\\n' \"${COMPREPLY[@]}\"";
    QProcess bash;
    bash.setProcessEnvironment([] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        return env;
    }());
    bash.start("bash", {"-c", QString::fromStdString(script)});
    EXPECT_TRUE(bash.waitForFinished(30000));
    EXPECT_EQ(bash.exitCode(), 0) << bash.readAllStandardError().toStdString();
    std::set<std::string> offered;
    std::istringstream lines(bash.readAllStandardOutput().toStdString());
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) offered.insert(line);
    return offered;
}

std::string LfprogOutput(const QStringList& args) {
    QProcess lfprog;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    lfprog.setProcessEnvironment(env);
    lfprog.start(LFPROG_PATH, args);
    EXPECT_TRUE(lfprog.waitForFinished(30000));
    return lfprog.readAllStandardOutput().toStdString();
}

TEST(Completion, OffersCommandsOptionsFormatsChipsAndReaders) {
    using Set = std::set<std::string>;
    struct Case {
        std::vector<std::string> words;
        Set expected;
    };
    const Case cases[] = {
        {{"se"}, {"selftest", "series"}},
        {{"doc"}, {"doctor"}},
        {{"register", "h"}, {"history"}},
        {{"lan", ""}, {"config", "ping"}},
        {{"holders", "i"}, {"import"}},
        {{"write", "--format", "37"}, {"37", "37-huge"}},
        {{"--json", "read", "--chip", "a"}, {"ata5577"}},
        {{"selftest", "--y"}, {"--yes"}},
        {{"doctor", "--port", "/dev/x", "--l"}, {"--lan"}},
        {{"write", "--format", "26", "--rea"}, {"--reason"}},
        {{"register", "revoke", "--reason", "st"}, {"stolen"}},
        {{"help", "sel"}, {"selftest"}},
        {{"--v"}, {"--version"}},
    };
    for (const Case& c : cases) {
        std::string typed;
        for (const std::string& word : c.words) typed += word + " ";
        SCOPED_TRACE(typed);
        EXPECT_EQ(Complete(c.words), c.expected);
    }
}

TEST(Completion, PortOffersTheReadersListFinds) {
    std::set<std::string> listed;
    std::istringstream lines(LfprogOutput({"list"}));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string kind;
        std::string port;
        if (fields >> kind >> port) listed.insert(port);
    }
    EXPECT_EQ(Complete({"info", "--port", ""}), listed);
}

TEST(Completion, KnowsEveryCommandOfTheHelp) {
    std::set<std::string> commands;
    std::istringstream lines(LfprogOutput({"--help"}));
    bool inCommands = false;
    for (std::string line; std::getline(lines, line);) {
        if (line == "Commands:") inCommands = true;
        else if (line.empty()) inCommands = false;
        else if (inCommands) commands.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    commands.insert("help");
    EXPECT_GE(commands.size(), 10u);
    EXPECT_EQ(Complete({""}), commands);
}

}  // namespace
