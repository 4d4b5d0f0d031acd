#include "NetModuleControl.h"

#include <cstdio>

namespace vsim {

namespace {

std::string Ok(const std::string& text) {
    return text.empty() ? "OK" : "OK " + text;
}
std::string Err(const std::string& reason) {
    return "ERR " + reason;
}

void AddTcpCommands(ControlProtocol& control, TcpFront& tcp) {
    control.Add({"tcp-drop", "fin|reset", 1, [&tcp](const std::vector<std::string>& args) {
                     if (args[0] != "fin" && args[0] != "reset")
                         return Err("usage: tcp-drop fin|reset");
                     tcp.Drop(args[0] == "reset");
                     return Ok("tcp-drop " + args[0]);
                 }});
    control.Add({"tcp-show", "", 0, [&tcp](const std::vector<std::string>&) {
                     return Ok(tcp.Address() + ":" + std::to_string(tcp.Port()) + " accepted " +
                               std::to_string(tcp.Accepted()) + " client-port " +
                               std::to_string(tcp.ClientPort()));
                 }});
}

void AddModuleCommands(ControlProtocol& control, NetModule& module) {
    control.Add({"net-set", "KEY=VALUE,...", 1, [&module](const std::vector<std::string>& args) {
                     std::string error;
                     if (!module.Configure(args[0], error)) return Err(error);
                     return Ok(module.Describe());
                 }});
    control.Add({"net-show", "", 0,
                 [&module](const std::vector<std::string>&) { return Ok(module.Describe()); }});
    control.Add({"udp-silent", "on|off", 1, [&module](const std::vector<std::string>& args) {
                     bool on = false;
                     if (!ControlProtocol::ParseOnOff(args[0], on))
                         return Err("usage: udp-silent on|off");
                     module.SetSilent(on);
                     return Ok("udp-silent " + args[0]);
                 }});
    control.Add({"udp-info", "on|off", 1, [&module](const std::vector<std::string>& args) {
                     bool on = false;
                     if (!ControlProtocol::ParseOnOff(args[0], on))
                         return Err("usage: udp-info on|off");
                     module.SetInfoAnswered(on);
                     return Ok("udp-info " + args[0]);
                 }});
    control.Add(
        {"udp-length", "RECORD BYTES|off", 2, [&module](const std::vector<std::string>& args) {
             unsigned long record = 0;
             unsigned long length = 0;
             if (!ControlProtocol::ParseNumber(args[0], 15, record)) {
                 return Err("usage: udp-length 0..15 BYTES|off");
             }
             if (args[1] == "off") {
                 module.SetReplyLength(record, std::nullopt);
             } else if (ControlProtocol::ParseNumber(args[1], 1000, length)) {
                 module.SetReplyLength(record, length);
             } else {
                 return Err("usage: udp-length 0..15 BYTES|off");
             }
             return Ok("udp-length " + args[0] + " " + args[1]);
         }});
    control.Add({"udp-flood", "COUNT", 1, [&module](const std::vector<std::string>& args) {
                     unsigned long count = 0;
                     if (!ControlProtocol::ParseNumber(args[0], 5000, count)) {
                         return Err("usage: udp-flood 0..5000");
                     }
                     module.SetFlood(count);
                     return Ok("udp-flood " + args[0]);
                 }});
    control.Add({"udp-garbage", "HEX|off", 1, [&module](const std::vector<std::string>& args) {
                     std::vector<uint8_t> bytes;
                     if (args[0] != "off" && !ControlProtocol::ParseHex(args[0], bytes)) {
                         return Err("usage: udp-garbage HEX|off");
                     }
                     module.SetGarbage(std::move(bytes));
                     return Ok("udp-garbage " + args[0]);
                 }});
    control.Add({"udp-requests", "", 0, [&module](const std::vector<std::string>&) {
                     std::string codes;
                     char hex[4];
                     for (uint8_t code : module.Requests()) {
                         std::snprintf(hex, sizeof hex, " %02X", code);
                         codes += hex;
                     }
                     return Ok(codes.empty() ? "none" : codes.substr(1));
                 }});
    control.Add({"udp-clear", "", 0, [&module](const std::vector<std::string>&) {
                     module.ClearRequests();
                     return Ok("udp requests cleared");
                 }});
}

}  // namespace

bool NetworkFronts::Start(const std::string& tcp, const std::string& udp, const std::string& record,
                          std::string& error) {
    std::string tcpAddress = "127.0.0.1";
    unsigned long tcpPort = TcpFront::kDefaultPort;
    if (!tcp.empty()) {
        const size_t colon = tcp.rfind(':');
        if (colon != std::string::npos) tcpAddress = tcp.substr(0, colon);
        const std::string port = colon == std::string::npos ? tcp : tcp.substr(colon + 1);
        if (!ControlProtocol::ParseNumber(port, 65535, tcpPort)) {
            error = "bad --tcp value " + tcp;
            return false;
        }
        m_tcp = std::make_unique<TcpFront>(m_engine);
    }
    if (udp.empty()) {
        if (!record.empty()) {
            error = "--net-record needs --udp";
            return false;
        }
        if (m_tcp && !m_tcp->Start(tcpAddress, static_cast<uint16_t>(tcpPort))) {
            error = "cannot listen on " + tcp;
            return false;
        }
        return true;
    }
    // The module places the TCP front: its record holds the front's port.
    m_module = std::make_unique<NetModule>(m_tcp.get(), tcpAddress);
    if (!m_module->Configure("port=" + std::to_string(tcpPort), error) ||
        (!record.empty() && !m_module->Configure(record, error))) {
        return false;
    }
    if (!m_module->Start(udp)) {
        error = "cannot listen on UDP " + udp + ":" + std::to_string(NetModule::kUdpPort);
        return false;
    }
    return true;
}

void AddNetworkCommands(ControlProtocol& control, TcpFront* tcp, NetModule* module) {
    if (tcp != nullptr) AddTcpCommands(control, *tcp);
    if (module != nullptr) AddModuleCommands(control, *module);
}

}  // namespace vsim
