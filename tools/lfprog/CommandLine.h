// lfprog's command line: a command word (one or two words, "lan config"), its operands, and
// options as "--name value", "--name=value" or flags "--name", before or after the command.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

class CCommandLine {
  public:
    // False with a message for an unknown option or an option without its value.
    bool Parse(int argc, char** argv, std::string& error);

    // The words that are not options, in order: the command and its operands.
    const std::vector<std::string>& Words() const { return m_words; }
    bool Has(const std::string& option) const { return m_options.count(option) != 0; }
    std::optional<std::string> Value(const std::string& option) const;
    // Every value of an option given several times (--map A=x --map B=y), in order.
    std::vector<std::string> Values(const std::string& option) const;
    // Every option given, for checking them against what a command takes.
    std::vector<std::string> OptionNames() const;

  private:
    std::vector<std::string> m_words;
    std::map<std::string, std::string> m_options;
    std::vector<std::pair<std::string, std::string>> m_given;  // every option, in order
};

// Whether an option takes a value; false for flags and unknown names.
bool OptionTakesValue(const std::string& name);
bool IsKnownOption(const std::string& name);

// A whole decimal number from min to max; false for anything else.
bool ParseInteger(const std::string& text, long long min, long long max, long long& value);
