#pragma once
// Asks many A questions at once through c-ares and waits for all of them, at most the
// timeout.

#include <chrono>
#include <string>
#include <vector>

#include "provider_support/dns_channels.h"
#include "query_outcome.h"

namespace kz::windns {

class DnsClient {
  public:
    // No servers: the system's resolver configuration.
    DnsClient(std::vector<providers::DnsServer> servers, std::chrono::milliseconds timeout);

    // One outcome per name, in order. A name without an answer by the timeout is Failed.
    std::vector<QueryOutcome> ask(const std::vector<std::string>& names);

    // Whether a channel can be made with these servers (checked once at start).
    bool usable();

  private:
    providers::DnsChannels channels_;
};

}  // namespace kz::windns
