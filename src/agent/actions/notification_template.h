#pragma once
// A notification built from an administrator's template: a complete message whose lines
// get the named tokens and the filtered message's headers.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "actions/notification_tokens.h"

namespace kz::actions {

// The template text (line feeds only) made into the notification text: a line holding
// "[KZ_HEADERS]" becomes the header lines as a whole; other lines get their tokens
// within lineLimit. "X-KZFilter: 1" goes in front of the first empty line,
// or at the end when there is none, unless the template's header block already starts a
// line with "X-KZFilter: "; the seal of messageName goes there in any case. Every line
// ends with a line feed.
std::string TemplateNotification(std::string_view messageName, std::string_view templateText,
                                 const std::vector<std::string>& headerLines,
                                 const NamedTokens& tokens, std::string_view matchDescription,
                                 TextLimit lineLimit);

}  // namespace kz::actions
