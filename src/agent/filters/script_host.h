#pragma once
// The script host that runs criteria scripts and the exported script entry.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz::filters {

// Runs functionName of scriptText in a script engine of its own. resultData receives the
// syntax error text or the script's KZ_GetResultData (cut to resultLimit)
// where the host writes one, and is otherwise left as it was. Returns the function's
// result as a signed 32-bit number, 0 when the script cannot be run.
long RunScript(std::string_view scriptText, std::string_view functionName, std::string& resultData,
               TextLimit resultLimit, bool wantResultData);

// A line for the script log: to the debug log when "Debug Status" is 1, to standard
// output when it is 2, nowhere otherwise.
void ScriptLog(std::string_view text);

struct ScriptSyntaxError {
    int32_t code = 0;  // 0x800A0000 plus VBScript's compile error number
    int line = 0;      // 1-based line in the checked text
    std::string description;
};

// Compiles scriptText without running it; the first syntax error, if any.
std::optional<ScriptSyntaxError> CheckScriptSyntax(std::string_view scriptText);

}  // namespace kz::filters
