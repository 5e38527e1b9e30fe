#pragma once
// Addresses in envelope values: "[" type ":" address "]", e.g. "[SMTP:a@example.com]".
// Recipients joins such entries with ";" and no blank.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz {

// An envelope value split at its type's colon: the one reading every helper below
// starts from. Without a colon the value has no type and all of it is the address.
struct EnvelopeValue {
    bool typed = false;          // a ':' was found
    std::string_view afterType;  // the text after the first ':'; the whole value if untyped
    std::size_t close = std::string_view::npos;  // the first ']' in afterType
    bool bracketBeforeType = false;              // a ']' comes before the type's colon
};
EnvelopeValue SplitEnvelopeValue(std::string_view value);

// The characters between the first ':' and the first ']' (at most 1,023, and cut to
// destinationLimit) go to `destination`. Without both, or with the ']' first, the
// destination is left as it was.
void ExtractEnvelopeAddress(std::string_view text, std::string& destination,
                            TextLimit destinationLimit);

// The three readings of a value that is not well formed:
// True with the text between the first ":" and the "]" after it. Without that "]", false
// with the text from the ":" on, colon included; without ":", false with the whole value.
bool AddressFromEnvelopeValue(std::string_view value, std::string& out, TextLimit outLimit);
// True with the text after the first ":", less a closing "]" at its end; without ":",
// false with the whole value.
bool AddressAfterType(std::string_view value, std::string& out, TextLimit outLimit);
// The text after the first ":" less its last character (the envelope's bracket, whatever
// it is), or the whole value without ":".
std::string_view AddressLessLastCharacter(std::string_view value);

}  // namespace kz
