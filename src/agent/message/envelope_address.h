#pragma once
// Addresses in envelope values: "[" type ":" address "]", e.g. "[SMTP:a@example.com]".
// Recipients joins such entries with ";" and no blank.

#include <cstddef>
#include <string>
#include <string_view>

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

// The characters between the first ':' and the first ']' (at most 1,023, and at most
// destinationSize-1) go to `destination`. Without both, or with the ']' first, the
// destination is left as it was.
void ExtractEnvelopeAddress(std::string_view text, std::string& destination,
                            std::size_t destinationSize);

// The three readings of a value that is not well formed:
// 1 with the text between the first ":" and the "]" after it. Without that "]", 0 with
// the text from the ":" on, colon included; without ":", 0 with the whole value.
int AddressFromEnvelopeValue(std::string_view value, std::string& out, std::size_t outSize);
// 1 with the text after the first ":", less a closing "]" at its end; without ":", 0
// with the whole value.
int AddressAfterType(std::string_view value, std::string& out, std::size_t outSize);
// The text after the first ":" less its last character (the envelope's bracket, whatever
// it is), or the whole value without ":".
std::string_view AddressLessLastCharacter(std::string_view value);

// Adds a recipient: ";" when the list is not empty, then the address as given when it
// holds "[", else "[SMTP:" address "]".
void AppendEnvelopeRecipient(std::string& recipients, std::string_view address);

}  // namespace kz
