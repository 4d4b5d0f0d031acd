#include "CommandFaults.h"

namespace vsim {

void CommandFaults::Fail(uint8_t command, unsigned count, uint8_t status) {
    m_planned[command].fails = count;
    m_planned[command].status = status;
}

void CommandFaults::TimeOut(uint8_t command, unsigned count) {
    m_planned[command].timeOuts = count;
}

void CommandFaults::Reply(uint8_t command, std::vector<uint8_t> data) {
    m_planned[command].reply = std::move(data);
}

CommandFaults::Fault CommandFaults::Take(uint8_t command) {
    Planned& planned = m_planned[command];
    if (planned.timeOuts > 0) {
        --planned.timeOuts;
        return Fault{Kind::TimeOut, 0, {}};
    }
    if (planned.fails > 0) {
        --planned.fails;
        return Fault{Kind::Fail, planned.status, {}};
    }
    if (planned.reply) {
        Fault fault{Kind::Reply, 0, std::move(*planned.reply)};
        planned.reply.reset();
        return fault;
    }
    return Fault{};
}

}  // namespace vsim
