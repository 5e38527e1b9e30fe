#pragma once
// The built-in functions and constants of the script language.

#include <span>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace kz::script {

using BuiltinFn = Value (*)(std::vector<Value>& args);

struct Builtin {
    std::string_view name;  // lower case
    int minArgs;
    int maxArgs;
    BuiltinFn fn;
};

// Null when no built-in has the lower-case name.
const Builtin* FindBuiltin(std::string_view name);
// The value of a named constant such as vbCrLf; false when there is none.
bool FindConstant(std::string_view name, Value& out);

// The tables of each group, joined by FindBuiltin.
std::span<const Builtin> StringBuiltins();
std::span<const Builtin> ConversionBuiltins();
std::span<const Builtin> CheckBuiltins();
std::span<const Builtin> DateBuiltins();
std::span<const Builtin> ObjectBuiltins();

// Shared argument helpers: an optional argument that is missing or Empty.
inline bool Given(const std::vector<Value>& args, std::size_t i) {
    return args.size() > i;
}
// Null arguments make most string functions return Null.
bool AnyNull(const std::vector<Value>& args, std::size_t count);

}  // namespace kz::script
