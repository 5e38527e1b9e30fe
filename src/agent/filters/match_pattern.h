#pragma once
// The one matcher of every text criterion. Administrators' word lists rely on its exact
// results, so it follows its rules literally.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kz::filters {

// Whether `pattern` matches `text`.
// - An empty pattern never matches.
// - A pattern containing "**" matches where it occurs literally, ignoring case.
// - A pattern without "*" is a whole word: an occurrence between delimiter characters
//   (any character of `delimiters`) or the ends of the text.
// - Otherwise "*" separates segments, placed in order without overlapping: the first at
//   the very start, the middle ones anywhere after it (ignoring case, whatever the
//   setting), the last anywhere after those where it ends a word or the text. Any
//   placement that fits is a match.
// caseSensitive selects exact comparison; otherwise ASCII letters are folded.
bool MatchPattern(std::string_view text, std::string_view pattern, std::string_view delimiters,
                  bool caseSensitive);

// The positions of the patterns that match `text`, ascending, each tried by MatchPattern.
std::vector<std::size_t> MatchEachPattern(std::string_view text,
                                          const std::vector<std::string>& patterns,
                                          std::string_view delimiters, bool caseSensitive);

// The case setting of every criterion evaluation ("Case Sensitivity" is 1), read from
// the registry on first use and kept for the life of the process.
bool CaseSensitiveMatching();

}  // namespace kz::filters
