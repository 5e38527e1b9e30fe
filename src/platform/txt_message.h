#pragma once
// The DNS messages of a TXT lookup (RFC 1035): the question, and the records read from an
// answer the way libopendkim reads key records, so that the Linux tests can give the
// verifier written here the same keys: a name that does not exist or has no answer has no
// records, a truncated answer or one of another type has failed, and after the first TXT
// record any further answer counts as a second record.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dns_query.h"

namespace kz::platform {

// The query for the TXT records at `name`, recursion desired; empty when the name has a
// label longer than 63 bytes or is longer than 255.
std::string txtQuery(std::string_view name, uint16_t id);

// The records of an answer whose id is `id` (any id when `anyId`); Failed for anything
// that is not a well-formed answer.
DnsAnswer txtAnswer(std::string_view message, uint16_t id, bool anyId = false);

}  // namespace kz::platform
