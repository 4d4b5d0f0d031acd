// Control commands for the network fronts of a simulated reader (either may be null).
#pragma once

#include <memory>
#include <string>

#include "ControlProtocol.h"
#include "NetModule.h"
#include "TcpFront.h"

namespace vsim {

void AddNetworkCommands(ControlProtocol& control, TcpFront* tcp, NetModule* module);

// The network side of the simulator program: a TCP front and a network module as its options
// ask for.
class NetworkFronts {
  public:
    explicit NetworkFronts(ReaderEngine& engine) : m_engine(engine) {}

    // tcp: "[ADDR:]PORT" (empty: no TCP front); udp: the module's bind address (empty: no
    // module); record: the module's settings (see NetModule::Configure).
    bool Start(const std::string& tcp, const std::string& udp, const std::string& record,
               std::string& error);
    void AddCommands(ControlProtocol& control) {
        AddNetworkCommands(control, m_tcp.get(), m_module.get());
    }

  private:
    ReaderEngine& m_engine;
    std::unique_ptr<TcpFront> m_tcp;
    std::unique_ptr<NetModule> m_module;  // declared last: stops before the front it moves
};

}  // namespace vsim
