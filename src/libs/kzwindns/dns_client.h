#pragma once
// Asks many A questions at once and waits for all of them, at most the timeout.

#include <chrono>
#include <string>
#include <vector>

#include "platform/dns_query.h"
#include "query_outcome.h"

namespace kz::windns {

class DnsClient {
  public:
    // No servers: the system's resolver configuration.
    DnsClient(std::vector<platform::DnsServer> servers, std::chrono::milliseconds timeout);

    // One outcome per name, in order. A name without an answer by the timeout is Failed.
    std::vector<QueryOutcome> ask(const std::vector<std::string>& names);

    // Whether questions can be sent with these servers (checked once at start).
    bool usable() { return resolver_.usable(); }

  private:
    const std::chrono::milliseconds timeout_;
    platform::DnsResolver resolver_;
};

}  // namespace kz::windns
