#pragma once
// The script host that runs criteria scripts and the exported script entry.

#include <cstddef>
#include <string>
#include <string_view>

namespace kz::filters {

// Runs functionName of scriptText; with wantResultData, the script's result data goes to
// resultData (at most resultSize-1 characters). Returns the function's result.
long RunScript(std::string_view scriptText, std::string_view functionName, std::string& resultData,
               std::size_t resultSize, bool wantResultData);

}  // namespace kz::filters
