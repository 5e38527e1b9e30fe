#pragma once
// The bare mail address inside an envelope value such as "[SMTP:user@example.com]".
// Both write at most outSize-1 characters to `out`, cutting a longer text.

#include <cstddef>
#include <string>
#include <string_view>

namespace kz::whitelist {

// 1 with the text between the first ":" and the "]" after it. Without that "]", 0 with
// the text from the ":" on, colon included; without ":", 0 with the whole value.
int AddressFromEnvelopeValue(std::string_view value, std::string& out, std::size_t outSize);

// 1 with the text after the first ":", less a closing "]" at its end; without ":", 0
// with the whole value.
int AddressAfterType(std::string_view value, std::string& out, std::size_t outSize);

}  // namespace kz::whitelist
