// The LAN configuration protocol on a socket in datagram mode: record reads and writes,
// module information, IP-SETUP, apply, and the searches over every local adapter. Each wait
// for replies pumps the given hooks (empty hooks on a worker thread).
#pragma once

#include <string>
#include <vector>

#include "WaitHooks.h"
#include "transport/TcpSocket.h"

namespace vellf::lan {

// The reply window: a wait ends after this long without a datagram that restarts it.
constexpr int kReplyWindowMs = 500;
// However often datagrams restart it, a wait never lasts longer than this many windows.
constexpr int kMaxWindows = 20;

// Reads record n (0..15) from the socket's host; broadcast sends the request to everyone
// (only the host's answer counts). True with the record in `record`.
bool QueryRecord(CTCPSocket& socket, int n, std::vector<uint8_t>& record, bool broadcast,
                 const WaitHooks& hooks);
// Writes record n and waits for the module's confirmation.
bool WriteRecord(CTCPSocket& socket, int n, const std::vector<uint8_t>& record,
                 const WaitHooks& hooks);
// Reads the module information (tag and MAC address) of the socket's host.
bool QueryModuleInfo(CTCPSocket& socket, std::vector<uint8_t>& info, const WaitHooks& hooks);
// Broadcasts IP-SETUP with the payload; extended: the "EX" form. No reply is awaited.
bool SendIpSetup(CTCPSocket& socket, const std::vector<uint8_t>& payload, bool extended);
// Tells the host's module to take its records into use. No reply is awaited.
bool SendApply(CTCPSocket& socket);

// Searches the socket's current adapter for windowMs after the last reply; adds the entries to
// `list` (sorted, unique). readersOnly keeps readers only, DHCP readers by name alone.
void SearchAdapter(CTCPSocket& socket, std::vector<std::string>& list, int windowMs,
                   bool readersOnly, const WaitHooks& hooks);
// Lists the adapters and searches each in turn; the number of entries.
size_t SearchAllAdapters(CTCPSocket& socket, std::vector<std::string>& list, int windowMs,
                         bool readersOnly, const WaitHooks& hooks);
// The address text a.b.c.d-p of the DHCP device whose bracketed name is `name`, asking each
// adapter for windowMs; empty when nobody answers.
std::string ResolveDeviceName(CTCPSocket& socket, const std::string& name, int windowMs,
                              const WaitHooks& hooks);

}  // namespace vellf::lan
