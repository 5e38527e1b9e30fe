#pragma once
// The outbound whitelist: marker files below the configuration directory, one per
// trusted address (or address prefix), at system, post-office or mailbox level. They
// are written outside the agent; the agent only tests whether they exist, on every call.

#include <cstdint>
#include <string>
#include <string_view>

namespace kz::whitelist {

// The looked-up key of an address: with mode 0 the whole address (at most 65
// characters); with mode N the first N parts of a four-part dotted address (each part
// at most 19 characters), or empty for any other address. Every ":" becomes "-", so
// IPv6 addresses make valid file names.
std::string OutboundWhitelistKey(std::string_view clientAddress, uint32_t mode);

// The marker file of `key` below `configuration` at the level the names select: both
// empty the system level, a post office alone its level, both the mailbox level. Empty
// when a name or the key could step out of its directory.
std::string OutboundMarkerPath(std::string_view configuration, std::string_view postOffice,
                               std::string_view mailbox, std::string_view key);

// True when "Whitelist Outbound IPAddresses" is on and the marker file of the address
// exists at the selected level; a lookup that fails for another reason than a missing
// file (no access, for example) counts as existing.
bool IsOutboundWhiteListed(std::string_view clientAddress, std::string_view postOffice,
                           std::string_view mailbox);

}  // namespace kz::whitelist
