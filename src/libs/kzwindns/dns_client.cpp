#include "dns_client.h"

#include <ares.h>
#include <arpa/nameser.h>

#include <algorithm>

#include "negative_ttl.h"

namespace kz::windns {

namespace {

using Clock = providers::DnsChannels::Clock;

// The most A records read from one answer.
constexpr int kMaxRecords = 16;

struct Question {
    QueryOutcome* outcome;
    int* remaining;
    std::chrono::milliseconds timeout;
};

void answered(void* argument, int status, int /*timeouts*/, unsigned char* answer, int length) {
    auto* question = static_cast<Question*>(argument);
    QueryOutcome& outcome = *question->outcome;
    --*question->remaining;
    if (status == ARES_SUCCESS) {
        ares_addrttl records[kMaxRecords];
        int count = kMaxRecords;
        status = ares_parse_a_reply(answer, length, nullptr, records, &count);
        if (status == ARES_SUCCESS && count > 0) {
            outcome.status = QueryOutcome::Status::Addresses;
            int ttl = records[0].ttl;
            for (int i = 0; i < count; ++i) {
                outcome.addresses.push_back(ntohl(records[i].ipaddr.s_addr));
                ttl = std::min(ttl, records[i].ttl);
            }
            outcome.ttl = std::chrono::seconds(std::max(ttl, 0));
            return;
        }
    }
    if (status == ARES_SUCCESS || status == ARES_ENOTFOUND || status == ARES_ENODATA) {
        outcome.status = QueryOutcome::Status::NoAddress;
        outcome.ttl = std::min(NegativeTtl(answer, length).value_or(kNoAddressTtl), kNoAddressTtl);
        return;
    }
    outcome.status = QueryOutcome::Status::Failed;
    outcome.ttl = kFailedTtl;
    // Our deadline cancels what c-ares has not given up on by itself.
    outcome.error = status == ARES_ECANCELLED || status == ARES_ETIMEOUT
                        ? "no answer within " + std::to_string(question->timeout.count()) + " ms"
                        : ares_strerror(status);
}

}  // namespace

DnsClient::DnsClient(std::vector<providers::DnsServer> servers, std::chrono::milliseconds timeout)
    : channels_(std::move(servers), timeout) {}

bool DnsClient::usable() {
    return channels_.usable();
}

std::vector<QueryOutcome> DnsClient::ask(const std::vector<std::string>& names) {
    std::vector<QueryOutcome> outcomes(names.size());
    if (names.empty()) return outcomes;
    ares_channel channel = channels_.borrow();
    if (!channel) {
        for (QueryOutcome& outcome : outcomes) {
            outcome.error = "no resolver channel";
            outcome.ttl = kFailedTtl;
        }
        return outcomes;
    }
    int remaining = static_cast<int>(names.size());
    std::vector<Question> questions(names.size());
    const auto deadline = Clock::now() + channels_.timeout();
    for (std::size_t i = 0; i < names.size(); ++i) {
        questions[i] = {&outcomes[i], &remaining, channels_.timeout()};
        ares_query(channel, names[i].c_str(), ns_c_in, ns_t_a, &answered, &questions[i]);
    }
    providers::RunChannel(channel, remaining, deadline);
    channels_.giveBack(channel);
    return outcomes;
}

}  // namespace kz::windns
