#pragma once
// The text of a message with annotation text added to its body or text parts.

#include <optional>
#include <string>
#include <string_view>

namespace kz::actions {

// The message with "X-KZFilter: 1" ending its header block and, when given, the top text
// before and the bottom text after the body of a single-part message, or of each
// text/plain and text/html part of a multipart one (parts in base64 are left as they
// are). Each annotation stands between empty lines. Empty when the message stays as it
// is: it already carries "X-KZFilter", it has no header end, it is multipart without a
// boundary, or there is nothing to add.
std::optional<std::string> AnnotateMessageText(std::string_view message,
                                               const std::optional<std::string>& top,
                                               const std::optional<std::string>& bottom);

}  // namespace kz::actions
