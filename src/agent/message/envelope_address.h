#pragma once
// Addresses in envelope values: "[" type ":" address "]", e.g. "[SMTP:a@example.com]".
// Recipients joins such entries with ";" and no blank.

#include <cstddef>
#include <string>
#include <string_view>

namespace kz {

// The characters between the first ':' and the first ']' (at most 1,023, and at most
// destinationSize-1) go to `destination`. Without both, or with the ']' first, the
// destination is left as it was.
void ExtractEnvelopeAddress(std::string_view text, std::string& destination,
                            std::size_t destinationSize);

// Adds a recipient: ";" when the list is not empty, then the address as given when it
// holds "[", else "[SMTP:" address "]".
void AppendEnvelopeRecipient(std::string& recipients, std::string_view address);

}  // namespace kz
