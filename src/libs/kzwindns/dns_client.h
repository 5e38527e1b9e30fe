#pragma once
// Asks many A questions at once through c-ares and waits for all of them, at most the
// timeout. c-ares channels are not shared between threads here: each call borrows one
// from a pool and gives it back, so concurrent callers never wait for each other.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "query_outcome.h"
#include "server_list.h"

struct ares_channeldata;

namespace kz::windns {

class DnsClient {
  public:
    // No servers: the system's resolver configuration.
    DnsClient(std::vector<DnsServer> servers, std::chrono::milliseconds timeout);
    ~DnsClient();
    DnsClient(const DnsClient&) = delete;
    DnsClient& operator=(const DnsClient&) = delete;

    // One outcome per name, in order. A name without an answer by the timeout is Failed.
    std::vector<QueryOutcome> ask(const std::vector<std::string>& names);

    // Whether a channel can be made with these servers (checked once at start).
    bool usable();

  private:
    ares_channeldata* borrow();
    void giveBack(ares_channeldata* channel);
    ares_channeldata* makeChannel() const;

    const std::vector<DnsServer> servers_;
    const std::chrono::milliseconds timeout_;
    std::mutex mutex_;
    std::vector<ares_channeldata*> idle_;
};

}  // namespace kz::windns
