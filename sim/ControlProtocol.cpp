#include "ControlProtocol.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "FeedControl.h"
#include "FieldControl.h"

namespace vsim {

namespace {

constexpr size_t kMaxLineLength = 1024;
constexpr unsigned long kMaxBaud = 4000000;
constexpr unsigned long kMaxDelayMs = 60000;
constexpr unsigned long kMaxFaultCount = 1000000;

std::vector<std::string> SplitWords(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(std::move(word));
    return words;
}

// A word of the client's line as it can go back in a response: printable, short.
std::string Quoted(const std::string& word) {
    std::string text;
    for (char c : word.substr(0, 32)) text += (c > ' ' && c < 0x7F) ? c : '?';
    return text;
}

std::string HexByte(uint64_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

std::string Ok(const std::string& text) {
    return text.empty() ? "OK" : "OK " + text;
}
std::string Err(const std::string& reason) {
    return "ERR " + reason;
}

// A handler for "NAME on|off".
ControlProtocol::Command Switch(std::string name, std::function<void(bool)> set) {
    return {name, "on|off", 1, [name, set](const std::vector<std::string>& args) {
                bool on = false;
                if (!ControlProtocol::ParseOnOff(args[0], on))
                    return Err("usage: " + name + " on|off");
                set(on);
                return Ok(name + (on ? " on" : " off"));
            }};
}

}  // namespace

ControlProtocol::ControlProtocol(ReaderEngine& engine) : m_engine(engine) {
    AddReaderCommands();
    AddMisbehaviourCommands();
    AddFaultCommands();
    AddFieldCommands(*this, m_engine);
    AddFeedCommands(*this, m_feeder);
    AddSessionCommands();
}

void ControlProtocol::Add(Command command) {
    for (Command& existing : m_commands) {
        if (existing.name == command.name) {
            existing = std::move(command);
            return;
        }
    }
    m_commands.push_back(std::move(command));
}

const ControlProtocol::Command* ControlProtocol::Find(const std::string& name) const {
    for (const Command& command : m_commands) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

std::string ControlProtocol::Execute(const std::string& line) {
    if (line.size() > kMaxLineLength) return Err("line too long");
    std::vector<std::string> words = SplitWords(line);
    if (words.empty()) return Err("empty line");
    const Command* command = Find(words[0]);
    if (command == nullptr) return Err("unknown command " + Quoted(words[0]) + " (try help)");
    words.erase(words.begin());
    const size_t maxArgs = std::max(command->argCount, command->maxArgCount);
    if (words.size() < command->argCount || words.size() > maxArgs) {
        return Err("usage: " + command->name +
                   (command->usage.empty() ? "" : " " + command->usage));
    }
    return command->run(words);
}

bool ControlProtocol::ParseOnOff(const std::string& word, bool& on) {
    if (word == "on")
        on = true;
    else if (word == "off")
        on = false;
    else
        return false;
    return true;
}

bool ControlProtocol::ParseNumber(const std::string& word, unsigned long max,
                                  unsigned long& value) {
    if (word.empty() || word.size() > 10) return false;
    unsigned long result = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<unsigned long>(c - '0');
    }
    if (result > max) return false;
    value = result;
    return true;
}

bool ControlProtocol::ParseHex(const std::string& word, std::vector<uint8_t>& bytes) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (word.empty() || word.size() % 2 != 0 || word.size() > 2 * 255) return false;
    std::vector<uint8_t> result;
    for (size_t i = 0; i < word.size(); i += 2) {
        const int high = nibble(word[i]);
        const int low = nibble(word[i + 1]);
        if (high < 0 || low < 0) return false;
        result.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    bytes = std::move(result);
    return true;
}

bool ControlProtocol::ParseHexNumber(const std::string& word, size_t maxDigits, uint64_t& value) {
    const std::string digits =
        word.rfind("0x", 0) == 0 || word.rfind("0X", 0) == 0 ? word.substr(2) : word;
    if (digits.empty() || digits.size() > maxDigits || digits.size() > 16) return false;
    uint64_t result = 0;
    for (char c : digits) {
        int nibble = -1;
        if (c >= '0' && c <= '9') nibble = c - '0';
        if (c >= 'a' && c <= 'f') nibble = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') nibble = c - 'A' + 10;
        if (nibble < 0) return false;
        result = result << 4 | static_cast<uint64_t>(nibble);
    }
    value = result;
    return true;
}

void ControlProtocol::AddReaderCommands() {
    Add({"version", "TEXT", 1, [this](const std::vector<std::string>& args) {
             if (args[0].size() > 255) return Err("version text longer than 255 bytes");
             m_engine.SetVersion(args[0]);
             return Ok("version " + Quoted(args[0]));
         }});
    Add({"serial", "HEX", 1, [this](const std::vector<std::string>& args) {
             std::vector<uint8_t> bytes;
             if (!ParseHex(args[0], bytes)) return Err("usage: serial HEX (1 to 255 bytes)");
             m_engine.SetSerialNumber(std::move(bytes));
             return Ok("serial " + args[0]);
         }});
    Add({"receive-mode", "0..255", 1, [this](const std::vector<std::string>& args) {
             unsigned long mode = 0;
             if (!ParseNumber(args[0], 255, mode)) return Err("usage: receive-mode 0..255");
             m_engine.SetReceiveMode(static_cast<int>(mode));
             return Ok("receive-mode " + args[0]);
         }});
    Add({"timing", "realistic|off", 1, [this](const std::vector<std::string>& args) {
             if (args[0] != "realistic" && args[0] != "off") {
                 return Err("usage: timing realistic|off");
             }
             m_engine.SetRealisticTiming(args[0] == "realistic");
             return Ok("timing " + args[0]);
         }});
}

void ControlProtocol::AddMisbehaviourCommands() {
    Add(Switch("silent", [this](bool on) { m_engine.SetSilent(on); }));
    Add(Switch("crc-only", [this](bool on) { m_engine.SetCrcOnly(on); }));
    Add(Switch("bad-checksum", [this](bool on) { m_engine.SetBadChecksum(on); }));
    Add({"baud-only", "BAUD|0", 1, [this](const std::vector<std::string>& args) {
             unsigned long baud = 0;
             if (!ParseNumber(args[0], kMaxBaud, baud)) return Err("usage: baud-only BAUD|0");
             m_engine.SetBaudOnly(static_cast<int>(baud));
             return Ok("baud-only " + std::to_string(baud));
         }});
    Add({"noise", "HEX|off", 1, [this](const std::vector<std::string>& args) {
             std::vector<uint8_t> bytes;
             if (args[0] != "off" && !ParseHex(args[0], bytes)) return Err("usage: noise HEX|off");
             m_engine.SetNoise(std::move(bytes));
             return Ok("noise " + args[0]);
         }});
    Add({"cut", "BYTES|off", 1, [this](const std::vector<std::string>& args) {
             unsigned long bytes = 0;
             if (args[0] == "off") {
                 m_engine.SetCutAfter(std::nullopt);
             } else if (ParseNumber(args[0], kMaxFrameSize, bytes)) {
                 m_engine.SetCutAfter(bytes);
             } else {
                 return Err("usage: cut BYTES|off");
             }
             return Ok("cut " + args[0]);
         }});
    Add({"status", "0..255", 1, [this](const std::vector<std::string>& args) {
             unsigned long status = 0;
             if (!ParseNumber(args[0], 255, status)) return Err("usage: status 0..255");
             m_engine.SetNextStatus(static_cast<uint8_t>(status));
             return Ok("status " + std::to_string(status) + " once");
         }});
    Add({"delay", "MS", 1, [this](const std::vector<std::string>& args) {
             unsigned long ms = 0;
             if (!ParseNumber(args[0], kMaxDelayMs, ms)) return Err("usage: delay MS (0 = off)");
             m_engine.SetReplyDelay(std::chrono::milliseconds(ms));
             return Ok("delay " + std::to_string(ms));
         }});
    Add({"reply-address", "0..255|off", 1, [this](const std::vector<std::string>& args) {
             unsigned long address = 0;
             if (args[0] == "off") {
                 m_engine.SetReplyAddress(std::nullopt);
             } else if (ParseNumber(args[0], 255, address)) {
                 m_engine.SetReplyAddress(static_cast<uint8_t>(address));
             } else {
                 return Err("usage: reply-address 0..255|off");
             }
             return Ok("reply-address " + args[0]);
         }});
    Add({"behave", "", 0, [this](const std::vector<std::string>&) {
             m_engine.ResetMisbehaviour();
             return Ok("all misbehaviour off");
         }});
}

void ControlProtocol::AddFaultCommands() {
    Add({"fail", "CMD-HEX COUNT STATUS", 3, [this](const std::vector<std::string>& args) {
             uint64_t command = 0;
             unsigned long count = 0;
             unsigned long status = 0;
             if (!ParseHexNumber(args[0], 2, command) ||
                 !ParseNumber(args[1], kMaxFaultCount, count) ||
                 !ParseNumber(args[2], 255, status)) {
                 return Err("usage: fail CMD-HEX COUNT STATUS (e.g. fail c3 2 5)");
             }
             m_engine.FailCommand(static_cast<uint8_t>(command), static_cast<unsigned>(count),
                                  static_cast<uint8_t>(status));
             return Ok("fail " + HexByte(command) + " " + std::to_string(count) + " status " +
                       std::to_string(status));
         }});
    Add({"timeout", "CMD-HEX COUNT", 2, [this](const std::vector<std::string>& args) {
             uint64_t command = 0;
             unsigned long count = 0;
             if (!ParseHexNumber(args[0], 2, command) ||
                 !ParseNumber(args[1], kMaxFaultCount, count)) {
                 return Err("usage: timeout CMD-HEX COUNT (e.g. timeout c0 1)");
             }
             m_engine.TimeOutCommand(static_cast<uint8_t>(command), static_cast<unsigned>(count));
             return Ok("timeout " + HexByte(command) + " " + std::to_string(count));
         }});
    Add({"reply", "CMD-HEX HEX|-", 2, [this](const std::vector<std::string>& args) {
             uint64_t command = 0;
             std::vector<uint8_t> data;
             if (!ParseHexNumber(args[0], 2, command) ||
                 (args[1] != "-" && !ParseHex(args[1], data))) {
                 return Err("usage: reply CMD-HEX HEX|- (the next request's reply data, e.g. "
                            "reply c7 0102030405)");
             }
             m_engine.ReplyToCommand(static_cast<uint8_t>(command), data);
             return Ok("reply " + HexByte(command) + " " + std::to_string(data.size()) +
                       " bytes");
         }});
}

void ControlProtocol::AddSessionCommands() {
    Add({"requests", "", 0, [this](const std::vector<std::string>&) {
             return Ok(std::to_string(m_engine.RequestCount()));
         }});
    Add({"clear", "", 0, [this](const std::vector<std::string>&) {
             m_engine.ClearRequests();
             return Ok("requests cleared");
         }});
    Add({"modes", "", 0, [this](const std::vector<std::string>&) {
             const DeviceState state = m_engine.State();
             return Ok("receive " + std::to_string(state.receiveMode) + " device " +
                       std::to_string(state.deviceMode) + " usb " + std::to_string(state.usbMode));
         }});
    Add({"help", "", 0, [this](const std::vector<std::string>&) {
             std::string text = "commands:";
             for (const Command& command : m_commands) {
                 text +=
                     " " + command.name + (command.usage.empty() ? "" : " " + command.usage) + ";";
             }
             text.pop_back();
             return Ok(text);
         }});
    Add({"quit", "", 0, [this](const std::vector<std::string>&) {
             m_quit = true;
             return Ok("bye");
         }});
}

}  // namespace vsim
