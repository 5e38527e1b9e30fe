// Fuzz target: the script engine's lexer and parser must reject any input with a syntax
// error, never crash, hang or overflow the stack.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "script/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<kz::script::ScriptError> error = kz::script::CheckSyntax(text);
    if (error && !error->isSyntax) __builtin_trap();  // parsing reports only syntax errors
    return 0;
}
