#pragma once
// How long a "no such name" or "no address" answer may be kept: the smaller of the
// TTL of the SOA record in its authority section and that record's minimum field.

#include <chrono>
#include <optional>

namespace kz::platform {

// Read from a DNS answer as it came over the wire. None when the answer carries no SOA record or is
// cut short.
std::optional<std::chrono::seconds> negativeTtlOf(const unsigned char* answer, int length);

}  // namespace kz::platform
