#pragma once
// The key lookups of one verification, asked through c-ares of the servers configured
// instead of OpenDKIM's own resolver (which knows only port 53 and /etc/resolv.conf).
// All lookups of the message together wait at most the timeout, counted from the first.

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "provider_support/dns_channels.h"

struct dkim_lib;

namespace kz::dkim {

class KeyResolver {
  public:
    KeyResolver(std::vector<providers::DnsServer> servers, std::chrono::milliseconds timeout);

    // Makes OpenDKIM ask through this resolver, which must outlive the library handle.
    void install(dkim_lib* library);

    // Whether the lookup of this name ended without an answer because time ran out.
    bool timedOut(const std::string& name) const { return timedOut_.count(name) > 0; }

    // One lookup: the raw answer into `buffer`; DKIM_DNS_SUCCESS with its length, or
    // DKIM_DNS_EXPIRED / DKIM_DNS_ERROR with a SERVFAIL header in the buffer.
    int lookup(const std::string& name, int type, unsigned char* buffer, std::size_t size,
               std::size_t& length);

  private:
    providers::DnsChannels channels_;
    providers::DnsChannels::Clock::time_point deadline_{};
    bool started_ = false;
    std::set<std::string> timedOut_;
};

}  // namespace kz::dkim
