#pragma once
// Runs small scripts through the engine and shows values as "TypeName:text".

#include <string>

#include "script/engine.h"

namespace kz::script::test {

// "Integer:3", "String:abc", "Null", "Empty", "Error:13" (run-time), "Syntax:1002".
std::string Show(const Value& v);
// Runs the statements as the body of a function whose result is the value of R.
std::string RunBody(const std::string& body);
// The value of one expression.
std::string Eval(const std::string& expression);
// The value of T() after the whole code is added, called as "t".
std::string RunCode(const std::string& code);
// The error of running the body ("Error:n" or "Syntax:n"), or "ok".
std::string ErrorOf(const std::string& body, Limits limits = {});

}  // namespace kz::script::test
