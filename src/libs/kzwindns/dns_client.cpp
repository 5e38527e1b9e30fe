#include "dns_client.h"

#include <algorithm>

namespace kz::windns {

namespace {

// Every server gets one try, all of them within the timeout.
std::chrono::milliseconds perTry(std::chrono::milliseconds timeout, std::size_t servers) {
    return std::max(timeout / std::max<int64_t>(1, int64_t(servers)), std::chrono::milliseconds(1));
}

QueryOutcome outcomeOf(platform::DnsAnswer&& answer, std::chrono::milliseconds timeout) {
    using Status = platform::DnsAnswer::Status;
    QueryOutcome outcome;
    switch (answer.status) {
        case Status::Records:
            outcome.status = QueryOutcome::Status::Addresses;
            outcome.addresses = std::move(answer.addresses);
            outcome.ttl = answer.ttl;
            break;
        case Status::NoRecords:
            outcome.status = QueryOutcome::Status::NoAddress;
            outcome.ttl = std::min(answer.negativeTtl.value_or(kNoAddressTtl), kNoAddressTtl);
            break;
        case Status::Failed:
            outcome.status = QueryOutcome::Status::Failed;
            outcome.ttl = kFailedTtl;
            outcome.error = answer.timedOut
                                ? "no answer within " + std::to_string(timeout.count()) + " ms"
                                : answer.error;
            break;
    }
    return outcome;
}

}  // namespace

DnsClient::DnsClient(std::vector<platform::DnsServer> servers, std::chrono::milliseconds timeout)
    : timeout_(timeout), resolver_(servers, perTry(timeout, servers.size())) {}

std::vector<QueryOutcome> DnsClient::ask(const std::vector<std::string>& names) {
    std::vector<platform::DnsQuestion> questions;
    for (const std::string& name : names) questions.push_back({name});
    std::vector<platform::DnsAnswer> answers =
        resolver_.ask(questions, platform::DnsResolver::Clock::now() + timeout_);
    std::vector<QueryOutcome> outcomes;
    for (platform::DnsAnswer& answer : answers)
        outcomes.push_back(outcomeOf(std::move(answer), timeout_));
    return outcomes;
}

}  // namespace kz::windns
