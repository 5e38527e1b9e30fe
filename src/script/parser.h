#pragma once
// Parses script text into a Program; syntax errors are thrown as ScriptException with
// isSyntax set and the line of the error.

#include <string_view>

#include "script/ast.h"

namespace kz::script {

Program Parse(std::string_view source);

}  // namespace kz::script
