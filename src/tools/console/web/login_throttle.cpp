#include "login_throttle.h"

#include <algorithm>

namespace kz::tool::web {

void LoginThrottle::count(Record& record, unsigned free, Clock::time_point now) {
    // A quiet spell twice the longest wait long starts the count again.
    if (now - record.last > 2 * kLongestWait) record.failures = 0;
    ++record.failures;
    record.last = now;
    if (record.failures < free) return;
    const unsigned doublings = std::min(record.failures - free, 10u);
    const auto wait = std::min<std::chrono::seconds>(kFirstWait * (1u << doublings), kLongestWait);
    record.until = now + wait;
}

std::optional<std::chrono::seconds> LoginThrottle::waitFor(const std::string& address,
                                                           Clock::time_point now) {
    std::lock_guard lock(mutex_);
    Clock::time_point until = all_.until;
    auto found = addresses_.find(address);
    if (found != addresses_.end()) until = std::max(until, found->second.until);
    if (until <= now) return std::nullopt;
    // Rounded up: a client that waits as told is let in.
    return std::chrono::ceil<std::chrono::seconds>(until - now);
}

void LoginThrottle::failed(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (!addresses_.contains(address) && addresses_.size() >= kMaxAddresses) {
        auto oldest = std::min_element(addresses_.begin(), addresses_.end(), [](auto& a, auto& b) {
            return a.second.last < b.second.last;
        });
        addresses_.erase(oldest);
    }
    count(addresses_[address], kFreeFailures, now);
    count(all_, kFreeFailuresAll, now);
}

void LoginThrottle::succeeded(const std::string& address) {
    std::lock_guard lock(mutex_);
    addresses_.erase(address);
    all_ = Record{};
}

}  // namespace kz::tool::web
