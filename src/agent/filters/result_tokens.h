#pragma once
// Tokens in administrators' texts ("[KZ_" tag "]") replaced by the tagged values of a
// match description, for subject prefixes, header values, templates and descriptions.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz::filters {

// The token an inline alternative uses for the sender's address.
inline constexpr std::string_view kSenderToken = "[KZ_SENDER]";
// Whether instance data mentions it (in any case).
bool UsesSenderToken(std::string_view instanceData);

// Replaces every occurrence of `token` in `text` by `value`, left to right (inserted
// values are not searched again), keeping the text within the limit.
void ReplaceToken(std::string& text, std::string_view token, std::string_view value,
                  TextLimit limit);

// For each element "<TAG>value</TAG>" of the description, replaces "[KZ_TAG]" in `text`
// (held within templateLimit) by the value of the tag's first element, encoded
// for a header when encodeValues is 1; a value that would not fit is skipped.
// "[KZ_WORDLIST]" becomes the values of all MF-W elements, then of all MF-R elements,
// separated by ",". Tokens without an element stay as they are.
void ExpandResultTokens(std::string_view description, std::string& text, TextLimit templateLimit,
                        int encodeValues);

}  // namespace kz::filters
