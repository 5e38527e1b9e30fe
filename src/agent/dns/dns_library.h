#pragma once
// The DNS library "KZWINDNS.DLL" that answers URI blacklist queries. Started at attach
// with the agent's log hooks and the DNS server list; kept while the process runs.

#include <string>
#include <string_view>

namespace kz::dns {

// Loads and starts the library; the result of its "DNSInitialize", or 0 when the
// library or the entry is missing.
int StartDnsLibrary();

// Asks "HasORBDBEntry" whether the host (with its first IPv4 address) is listed;
// response and listName receive the library's two texts (at most 255 characters each).
// 0 without the library or the entry. An exception from the library is reported to the
// event log and the debug log, then thrown on unchanged.
int HasOrbdbEntry(std::string_view host, std::string_view address, std::string& response,
                  std::string& listName);

}  // namespace kz::dns
