#include "ReaderCommands.h"

namespace vsim {

namespace {

// A handler that takes exactly `length` data bytes and stores what `apply` makes of them.
template <typename Apply>
CommandSet::Handler WithLength(size_t length, Apply apply) {
    return [length, apply](DeviceState& state, const Request& request) {
        if (request.data.size() != length) return Reply{status::kBadLength, {}};
        return apply(state, request);
    };
}

Reply Ok(std::vector<uint8_t> data = {}) {
    return Reply{status::kOk, std::move(data)};
}

}  // namespace

void AddReaderCommands(CommandSet& commands) {
    commands.Add(command::kVersion, WithLength(0, [](DeviceState& state, const Request&) {
                     return Ok({state.version.begin(), state.version.end()});
                 }));
    commands.Add(command::kSerialNumber, WithLength(0, [](DeviceState& state, const Request&) {
                     return Ok(state.serialNumber);
                 }));
    commands.Add(command::kDeviceMode, WithLength(1, [](DeviceState& state, const Request& r) {
                     state.deviceMode = r.data[0];
                     return Ok();
                 }));
    commands.Add(command::kFieldSwitch, WithLength(1, [](DeviceState& state, const Request& r) {
                     state.fieldSwitch = r.data[0];
                     return Ok();
                 }));
    commands.Add(command::kResetReader,
                 WithLength(2, [](DeviceState&, const Request&) { return Ok(); }));
    commands.Add(command::kReceiveMode, WithLength(1, [](DeviceState& state, const Request& r) {
                     state.receiveMode = r.data[0];
                     return Ok();
                 }));
    commands.Add(command::kUsbMode, WithLength(1, [](DeviceState& state, const Request& r) {
                     state.usbMode = r.data[0];
                     return Ok();
                 }));
}

}  // namespace vsim
