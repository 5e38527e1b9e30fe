#pragma once
// A DKIM tag list ("v=1; a=rsa-sha256; ..."), of a DKIM-Signature field or a key record,
// read the way the Linux verifier reads it so that both decide alike: white space inside
// names and values is dropped, a later tag replaces an earlier one of the same name (in
// any case), and a name is found only as first written.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kz::dkim {

class TagList {
  public:
    // The value of the tag, or null when the list does not have it.
    const std::string* find(std::string_view name) const;
    void set(std::string name, std::string value);

  private:
    std::vector<std::pair<std::string, std::string>> tags_;
};

// Null for text that is not a tag list: a byte outside printable ASCII and white space, a
// name that does not start with a letter or digit, a name with a blank inside, a name
// without "=".
std::optional<TagList> ParseTagList(std::string_view text);

// Whether the byte is white space as the C library's isspace counts it.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace kz::dkim
