// A line protocol for telling a running simulated reader what to do: one command line in,
// one response line out ("OK ..." or "ERR <reason>").
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "CardFeeder.h"
#include "ReaderEngine.h"

namespace vsim {

class ControlProtocol {
  public:
    // A handler gets the words after the command name and returns the response line.
    using Handler = std::function<std::string(const std::vector<std::string>& args)>;

    struct Command {
        std::string name;
        std::string usage;  // arguments, shown in error responses
        size_t argCount = 0;
        Handler run;
        // Optional arguments: up to this many words in all; 0 = exactly argCount.
        size_t maxArgCount = 0;
    };

    explicit ControlProtocol(ReaderEngine& engine);

    // Registers a command (replaces one of the same name).
    void Add(Command command);

    // Runs one line. Thread-safe as long as no command is added meanwhile.
    std::string Execute(const std::string& line);

    // Set by the quit command.
    bool QuitRequested() const { return m_quit.load(); }

    // The feeder behind the feed command, for other fronts that drive the same feed.
    CardFeeder& Feeder() { return m_feeder; }

    // Helpers for command handlers; all reject anything but the plain form.
    static bool ParseOnOff(const std::string& word, bool& on);
    static bool ParseNumber(const std::string& word, unsigned long max, unsigned long& value);
    static bool ParseHex(const std::string& word, std::vector<uint8_t>& bytes);
    // One hexadecimal number of 1 to maxDigits digits, with or without 0x in front.
    static bool ParseHexNumber(const std::string& word, size_t maxDigits, uint64_t& value);

  private:
    void AddReaderCommands();
    void AddMisbehaviourCommands();
    void AddFaultCommands();
    void AddSessionCommands();
    const Command* Find(const std::string& name) const;

    ReaderEngine& m_engine;
    std::vector<Command> m_commands;
    std::atomic<bool> m_quit{false};
    CardFeeder m_feeder{m_engine};
};

}  // namespace vsim
