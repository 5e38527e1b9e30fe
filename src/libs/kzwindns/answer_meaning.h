#pragma once
// What a blacklist zone's answer means: an A record in 127.0.0.0/8 lists the name,
// except the answers that say the query was refused or rate limited (127.255.255.0/24
// and the zone's own error codes); anything else (no record, an address outside
// loopback from a resolver that rewrites missing names) does not list it.

#include <cstdint>

#include "query_outcome.h"
#include "zone_list.h"

namespace kz::windns {

enum class Meaning { NotListed, Listed, Refused };

struct Verdict {
    Meaning meaning = Meaning::NotListed;
    uint32_t answer = 0;  // the record that decided, for Listed and Refused
};

Verdict MeaningOf(const QueryOutcome& outcome, const Zone& zone);

}  // namespace kz::windns
