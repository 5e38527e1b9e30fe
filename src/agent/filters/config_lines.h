#pragma once
// Configuration files are read in text mode, line by line, in pieces of at most 2047
// characters: a longer line is read as several lines.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kz::filters {

constexpr std::size_t kConfigLineLimit = 2047;

// The lines of a text (each with its line feed, when it had one); a line longer than
// kConfigLineLimit characters, its line feed not counted, is split into pieces of that
// many characters, the last piece keeping the line feed.
std::vector<std::string> SplitConfigLines(std::string_view text);

// The lines of a configuration file read in text mode (CR LF as LF), or none when the
// file cannot be read.
std::optional<std::vector<std::string>> ReadConfigLines(std::string_view path);

// The line up to its first line feed.
std::string_view CutAtLineFeed(std::string_view line);

}  // namespace kz::filters
