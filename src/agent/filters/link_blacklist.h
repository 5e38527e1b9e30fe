#pragma once
// URLBL: the links of a message text whose host is on a URI blacklist.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kz::filters {

// What the link checks of one message have spent. `counter` counts the lookups of
// unlisted hosts, bounded by "URI SBL Max Checks"; `unresolved` the host names that
// gave no address, bounded so that a message full of dead links cannot hold a queue
// thread for long; `deadline`, set at the message's first link, ends all of its link
// work (dns::LinkTimeout).
struct LinkLookups {
    int counter = 0;
    int unresolved = 0;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    bool stopNoted = false;  // the stop at the deadline was logged
};

// Host names resolved in vain before a message's links are no longer looked at.
constexpr int kMaxUnresolvedHosts = 20;

// True when a link of the text ("http://" links first, then "https://") has a listed host;
// listName then holds the list's name.
bool FindBlacklistedLink(std::string_view messageId, LinkLookups& lookups, std::string_view text,
                         std::string& responseBuffer, std::string& listName);

// The host of a link body: up to its first "/", percent escapes decoded. Empty when an
// escape is malformed.
std::optional<std::string> LinkHost(std::string_view linkBody);

}  // namespace kz::filters
