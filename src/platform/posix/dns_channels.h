#pragma once
// c-ares channels (the resolver behind platform/dns_query.h on Linux, and the DKIM
// library's key lookups) for one list of DNS servers and one bound. Channels are not shared
// between threads: each caller borrows one from the pool and gives it back, so concurrent
// callers never wait for each other.

#include <chrono>
#include <mutex>
#include <vector>

#include "platform/dns_query.h"

struct ares_channeldata;

namespace kz::platform::posix {

class DnsChannels {
  public:
    using Clock = std::chrono::steady_clock;

    // No servers: the system's resolver configuration. Every server gets one try, all of
    // them within `timeout`.
    DnsChannels(std::vector<DnsServer> servers, std::chrono::milliseconds timeout);
    ~DnsChannels();
    DnsChannels(const DnsChannels&) = delete;
    DnsChannels& operator=(const DnsChannels&) = delete;

    // A channel of the pool or a new one; null when none can be made.
    ares_channeldata* borrow();
    void giveBack(ares_channeldata* channel);
    // Whether a channel can be made with these servers.
    bool usable();
    std::chrono::milliseconds timeout() const { return timeout_; }

  private:
    ares_channeldata* makeChannel() const;

    const std::vector<DnsServer> servers_;
    const std::chrono::milliseconds timeout_;
    std::mutex mutex_;
    std::vector<ares_channeldata*> idle_;
};

// Runs the channel until `remaining` (lowered by the callbacks) is 0 or the deadline
// passes; what is still open then is cancelled, which answers it as ARES_ECANCELLED.
void RunChannel(ares_channeldata* channel, const int& remaining,
                DnsChannels::Clock::time_point deadline);

}  // namespace kz::platform::posix
