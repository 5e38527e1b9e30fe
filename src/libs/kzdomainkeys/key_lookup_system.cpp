#include "key_lookup_system.h"

namespace kz::dkim {

SystemKeyLookup::SystemKeyLookup(const std::vector<platform::DnsServer>& servers,
                                 std::chrono::milliseconds timeout)
    : resolver_(servers, timeout), timeout_(timeout) {}

KeyAnswer SystemKeyLookup::lookup(const std::string& name) {
    if (!started_) {
        deadline_ = platform::DnsResolver::Clock::now() + timeout_;
        started_ = true;
    }
    platform::DnsQuestion question{name, platform::DnsQuestion::Kind::Text};
    return FromAnswer(std::move(resolver_.ask({question}, deadline_).front()));
}

}  // namespace kz::dkim
