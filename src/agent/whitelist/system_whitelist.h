#pragma once
// The system whitelist: the value names of the registry key "White List" below the
// SMTP connector, each one address pattern. Read on every call, so entries added by the
// administrator or the SMTP side count from the next message on.

#include <string_view>

namespace kz::whitelist {

// True when the client address matches a pattern of the system whitelist, which is then
// written to the debug log; false when it matches none or the key is missing. An exception
// from below is reported to the event log and the debug log, then thrown on.
bool IsWhitelisted(std::string_view clientAddress);

}  // namespace kz::whitelist
