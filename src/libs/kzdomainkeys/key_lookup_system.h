#pragma once
// Key records through the platform's DNS client (Windows: DnsQueryEx), asking the SMTP
// connector's servers; all lookups of one message together wait at most the timeout.

#include <chrono>
#include <vector>

#include "key_lookup.h"
#include "platform/dns_query.h"

namespace kz::dkim {

class SystemKeyLookup : public KeyLookup {
  public:
    SystemKeyLookup(const std::vector<platform::DnsServer>& servers,
                    std::chrono::milliseconds timeout);
    KeyAnswer lookup(const std::string& name) override;

  private:
    platform::DnsResolver resolver_;
    std::chrono::milliseconds timeout_;
    platform::DnsResolver::Clock::time_point deadline_{};
    bool started_ = false;
};

}  // namespace kz::dkim
