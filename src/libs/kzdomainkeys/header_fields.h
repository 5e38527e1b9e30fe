#pragma once
// The header fields a verifier takes from a message, and the author's address they name.

#include <string>
#include <string_view>
#include <vector>

namespace kz::dkim {

struct HeaderField {
    std::string_view text;   // the whole field, folded lines kept, without its line end
    std::size_t nameLength;  // the name before the colon, trailing blanks left out

    std::string_view name() const { return text.substr(0, nameLength); }
    std::string_view value() const { return text.substr(text.find(':') + 1); }
};

// The fields a verifier can use, in order: a field needs a colon, and a name of printable
// ASCII (blanks allowed) without ";". Others are passed over as if absent.
std::vector<HeaderField> UsableFields(const std::vector<std::string>& fields);

// Case-insensitive comparison of ASCII names.
bool SameName(std::string_view a, std::string_view b);

// Whether the first From field names an address with a local part and a domain; without
// one no signature of the message is looked at.
bool HasAuthorAddress(const std::vector<HeaderField>& fields);

}  // namespace kz::dkim
