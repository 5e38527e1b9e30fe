#pragma once
// The regular expressions of the script engine's RegExp: ECMAScript-style syntax, a
// backtracking matcher that keeps its own stack and stops after a fixed number of steps.

#include <cstddef>
#include <string_view>
#include <vector>

#include "script/regex_program.h"

namespace kz::script::regex {

enum class CompileStatus { kOk, kSyntax, kTooLarge };

// Reads a pattern into a program. Letters compare without regard to case (ASCII only)
// with ignoreCase; ^ and $ also match at line breaks with multiLine.
CompileStatus Compile(std::string_view pattern, bool ignoreCase, bool multiLine, Program& out);

enum class MatchStatus { kMatch, kNoMatch, kTooComplex };

constexpr std::size_t kNotSet = static_cast<std::size_t>(-1);

// Finds the first match that starts at or after `from`. On a match, `captures` holds
// 2 * (groups + 1) offsets: the match's start and end, then each group's, kNotSet for a
// group that took no part. Every step taken is charged to `steps`; kTooComplex when they
// run out or the matcher's stack grows too deep.
MatchStatus Search(const Program& program, std::string_view text, std::size_t from,
                   std::size_t& steps, std::vector<std::size_t>& captures);

}  // namespace kz::script::regex
