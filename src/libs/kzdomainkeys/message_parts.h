#pragma once
// A message file as the verifier is fed it: header fields one by one (folded lines kept,
// without the final line end) and the body, every line end CR LF whatever the file holds.

#include <string>
#include <string_view>
#include <vector>

namespace kz::dkim {

struct MessageParts {
    std::vector<std::string> headers;
    std::string body;
};

MessageParts SplitMessage(std::string_view text);

// Whether a header field is a DKIM-Signature whose value is blank.
bool IsEmptySignatureHeader(std::string_view field);

}  // namespace kz::dkim
