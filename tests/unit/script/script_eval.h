#pragma once
// Runs small scripts through the engine and shows values as "TypeName:text".

#include <gtest/gtest.h>

#include <string>

#include "script/engine.h"

namespace kz::script::test {

// "Integer:3", "String:abc", "Null", "Empty", "Error:13" (run-time), "Syntax:1002".
std::string Show(const Value& v);
// Runs the statements as the body of a function whose result is the value of R.
std::string RunBody(const std::string& body);
// The value of one expression.
std::string Eval(const std::string& expression);
// The error of running the body ("Error:n" or "Syntax:n"), or "ok".
std::string ErrorOf(const std::string& body, Limits limits = {});

// A script text and what it gives, for the parameterised tests.
struct ScriptCase {
    const char* text;
    const char* expected;
};
// The test's name: the text's letters and digits, other runs as one "_", then its index.
std::string ScriptCaseName(const ::testing::TestParamInfo<ScriptCase>& info);
inline void PrintTo(const ScriptCase& c, std::ostream* os) {
    *os << c.text;
}

}  // namespace kz::script::test
