// Faults planned per command code: the next n requests of a code fail with a given status
// byte, or get no answer at all, or the next one is answered with chosen reply data. A
// faulted request is not carried out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vsim {

class CommandFaults {
  public:
    enum class Kind { None, Fail, TimeOut, Reply };
    struct Fault {
        Kind kind = Kind::None;
        uint8_t status = 0;         // for Fail
        std::vector<uint8_t> data;  // for Reply, with status 0
    };

    // The next `count` requests of `command` fail with `status`; count 0 cancels.
    void Fail(uint8_t command, unsigned count, uint8_t status);
    // The next `count` requests of `command` go unanswered; count 0 cancels.
    void TimeOut(uint8_t command, unsigned count);
    // The next request of `command` is answered with status 0 and `data` (one-shot).
    void Reply(uint8_t command, std::vector<uint8_t> data);
    void Clear() { m_planned = {}; }

    // Uses up the fault of the next request of `command`, if one is planned. Time-outs come
    // before failures, failures before a chosen reply, when several are planned.
    Fault Take(uint8_t command);

    unsigned FailsLeft(uint8_t command) const { return m_planned[command].fails; }
    unsigned TimeOutsLeft(uint8_t command) const { return m_planned[command].timeOuts; }
    bool ReplyPlanned(uint8_t command) const { return m_planned[command].reply.has_value(); }

  private:
    struct Planned {
        unsigned fails = 0;
        uint8_t status = 0;
        unsigned timeOuts = 0;
        std::optional<std::vector<uint8_t>> reply;
    };
    std::array<Planned, 256> m_planned{};
};

}  // namespace vsim
