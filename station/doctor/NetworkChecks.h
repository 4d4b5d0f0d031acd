// The doctor's checks of the network search: the adapters it broadcasts on, whether a
// reader answers, and a firewall rule that drops the search's datagrams. The firewall is
// only read (nft, else iptables-save), never changed.
#pragma once

#include <optional>
#include <string>

#include "station/doctor/DoctorLine.h"
#include "station/doctor/SystemRoot.h"

namespace station {

// The UDP port the network search sends to and the readers answer from.
inline constexpr int kLanSearchPort = 30718;

DoctorLine CheckLanAdapters(const CSystemRoot& root);
// Runs the search (it broadcasts on every adapter).
DoctorLine CheckLanReply();

// A ruleset as `nft list ruleset` or `iptables-save` (source names which) prints it; none
// when it could not be read (source then says why).
DoctorLine JudgeFirewall(const std::optional<std::string>& ruleset, const std::string& source);
// Reads the system's ruleset and judges it.
DoctorLine CheckFirewall();

}  // namespace station
