#pragma once
// The criterion tokens of a criteria script: "[KZ_" keyword "]" with the argument that
// follows it, in script order.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_limit.h"

namespace kz::filters {

struct ScriptToken {
    std::string keyword;   // as written; matched to a kind ignoring case
    std::string argument;  // "\r" when no argument follows the token
};

// The argument of a token without one.
constexpr std::string_view kNoArgumentMarker = "\r";
constexpr TextLimit kScriptTokenTextLimit{1024};  // keyword and argument

// After a token, white space and a comma introduce its argument: a quoted text, or else
// the text from the second character after the "]" up to the next ")". An argument
// whose closing quote or parenthesis is missing is empty and ends the scan.
std::vector<ScriptToken> ParseScriptTokens(std::string_view script);

}  // namespace kz::filters
