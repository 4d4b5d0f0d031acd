#include "CommandSet.h"

#include <utility>

namespace vsim {

void CommandSet::Add(uint8_t command, Handler handler) {
    m_handlers[command] = std::move(handler);
}

Reply CommandSet::Execute(DeviceState& state, const Request& request) const {
    const Handler& handler = m_handlers[request.command];
    if (!handler) return Reply{status::kUnknownCommand, {}};
    return handler(state, request);
}

}  // namespace vsim
