#pragma once
// The decoded header list of a message's top-level header block.

#include <string>
#include <string_view>
#include <vector>

namespace kz {

struct HeaderEntry {
    std::string name;   // as it stands before the first ":"
    std::string value;  // unfolded, leading blanks and tabs removed, encoded words decoded (UTF-8)
};

// Unfolds the block (a continuation line's first tab becomes a blank, the line is
// appended as it stands) and splits each header at its first ":"; headers without one are
// dropped.
std::vector<HeaderEntry> ParseHeaderList(std::string_view headerBlock);

// The earliest or latest entry whose name equals `name` without regard to case, or null.
const HeaderEntry* FindFirstHeader(const std::vector<HeaderEntry>& headers, std::string_view name);
const HeaderEntry* FindLastHeader(const std::vector<HeaderEntry>& headers, std::string_view name);

}  // namespace kz
