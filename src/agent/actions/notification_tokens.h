#pragma once
// The named tokens of notification templates and reasons, and their expansion.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text_limit.h"

namespace kz::actions {

// Token and value pairs, replaced in this order.
using NamedTokens = std::vector<std::pair<std::string_view, std::string>>;

// In a line that holds "[KZ_": every occurrence of each named token, then the tags of
// the match description (header-encoded), keeping the line within
// lineLimit. A named token whose value would not fit stays as it is.
void ExpandNotificationTokens(std::string& line, const NamedTokens& tokens,
                              std::string_view matchDescription, TextLimit lineLimit);

}  // namespace kz::actions
