#pragma once
// The Public Suffix List, built into the library as a table generated from the system's
// copy of the list (Debian's publicsuffix package) when the library is built, so that
// both systems find the same registered domains.

#include <cstddef>
#include <optional>
#include <string_view>

namespace kz::windns {

// The rules, sorted, one a line, as the list writes them ("com", "*.ck", "!www.ck"),
// IDNA labels in their xn-- form (generated).
extern const char kPublicSuffixText[];

// How many trailing labels of a lower-case DNS name are its public suffix, by the list's
// rules (exceptions first, then the longest match, else the name's last label).
std::size_t PublicSuffixLabels(std::string_view name);

}  // namespace kz::windns
