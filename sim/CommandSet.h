// The reader's commands: one handler per command code, looked up by the engine for every
// request it answers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "DeviceState.h"
#include "FrameCodec.h"

namespace vsim {

// Status bytes of the simulated reader.
namespace status {
constexpr uint8_t kOk = 0x00;
constexpr uint8_t kUnknownCommand = 0x01;
constexpr uint8_t kBadLength = 0x02;  // the request data have the wrong length
}  // namespace status

struct Request {
    Framing framing = Framing::Stx;
    uint8_t address = 0;
    uint8_t command = 0;
    std::vector<uint8_t> data;
    std::vector<uint8_t> raw;  // the frame as received
};

struct Reply {
    uint8_t status = status::kOk;
    std::vector<uint8_t> data;
};

class CommandSet {
  public:
    using Handler = std::function<Reply(DeviceState&, const Request&)>;

    // Registers (or replaces) the handler of a command code.
    void Add(uint8_t command, Handler handler);
    bool Knows(uint8_t command) const { return static_cast<bool>(m_handlers[command]); }

    // Runs the command's handler; an unknown command answers kUnknownCommand.
    Reply Execute(DeviceState& state, const Request& request) const;

  private:
    std::array<Handler, 256> m_handlers{};
};

}  // namespace vsim
