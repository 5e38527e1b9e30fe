#pragma once
// How kzmta shows registry values and reads numbers from its command line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace kz::tool {

// "REG_SZ", "REG_DWORD", ...; unknown types as "REG_TYPE_<n>".
std::string regTypeName(platform::RegType type);
// Text for text types (REG_MULTI_SZ one string per line), numbers in decimal, other
// data as comma-separated hexadecimal bytes.
std::string regValueText(const platform::RegValue& value);
// The value's text on one line: tabs and line breaks written as \t, \n, \r.
std::string regValueOneLine(const platform::RegValue& value);
// A 32-bit number in decimal or with a 0x prefix in hexadecimal; nothing else.
std::optional<uint32_t> parseDwordArgument(std::string_view text);

}  // namespace kz::tool
