#pragma once
// Is a link's host listed: every configured zone asked at once (the domain zones for the
// host's registered domain, the address zones for its reversed IPv4 address), answers
// reused for their TTL. Safe to call from many threads at once.

#include <string>
#include <string_view>
#include <vector>

#include "answer_cache.h"
#include "blacklist_settings.h"
#include "dns_client.h"
#include "report_throttle.h"

namespace kz::windns {

constexpr std::size_t kCacheEntries = 10000;

struct Listing {
    std::string answer;  // the A record that listed the host, dotted
    std::string zone;
};

class BlacklistLookup {
  public:
    BlacklistLookup(BlacklistSettings settings, std::vector<platform::DnsServer> servers);

    // True when a zone lists the host; zones are tried in the configured order, domain
    // zones first.
    bool isListed(std::string_view host, std::string_view address, Listing& listing);

    bool usable() { return client_.usable(); }
    const BlacklistSettings& settings() const { return settings_; }

  private:
    struct Question {
        const Zone* zone;
        std::string name;
    };

    std::vector<Question> questionsFor(std::string_view host, std::string_view address) const;
    void report(const std::string& name, const Zone& zone, const QueryOutcome& outcome);

    const BlacklistSettings settings_;
    DnsClient client_;
    AnswerCache cache_{kCacheEntries};
    ReportThrottle throttle_;
};

}  // namespace kz::windns
