#pragma once
// What one DNS question came back with, and how long that answer may be reused.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kz::windns {

struct QueryOutcome {
    enum class Status { Addresses, NoAddress, Failed };
    Status status = Status::Failed;
    std::vector<uint32_t> addresses;  // A records, host byte order
    std::chrono::seconds ttl{0};
    std::string error;  // for Failed: what the resolver said
};

// A name that does not exist, or has no A record, is asked again after this long at the
// latest; sooner when the zone's SOA record says so.
constexpr std::chrono::seconds kNoAddressTtl{300};
// A zone that failed or did not answer in time is left alone for this long.
constexpr std::chrono::seconds kFailedTtl{60};
// No answer is kept longer than a day, whatever its TTL.
constexpr std::chrono::seconds kLongestTtl{86400};

}  // namespace kz::windns
