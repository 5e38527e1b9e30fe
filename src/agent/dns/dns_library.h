#pragma once
// The DNS library "KZWINDNS.DLL" that answers URI blacklist queries. Started at attach
// with the agent's log hooks and the DNS server list; kept until detach.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "dns/link_resolver.h"
#include "platform/dynlib.h"

namespace kz::dns {

// The library of the attached process, which its owner installs
// (Installed<DnsLibrary>) and lets go when it ends. A lookup holds its own reference.
struct DnsLibrary {
    std::mutex mutex;
    std::shared_ptr<platform::DynamicLibrary> library;  // replaced only at attach
    LinkResolver links;                                 // replaced only at attach
};

// Loads and starts the library into the installed DnsLibrary; the result of its "DNSInitialize", or
// 0 when the library or the entry is missing.
int StartDnsLibrary();

// Asks "HasORBDBEntry" whether the host (with its first IPv4 address) is listed;
// response and listName receive the library's two texts (at most 255 characters each).
// 0 without the library or the entry. An exception from the library is reported to the
// event log and the debug log, then thrown on unchanged.
int HasOrbdbEntry(std::string_view host, std::string_view address, std::string& response,
                  std::string& listName);

}  // namespace kz::dns
