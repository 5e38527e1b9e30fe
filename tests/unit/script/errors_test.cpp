// Syntax and run-time errors with their numbers, codes, texts and lines.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

TEST(ScriptErrors, SyntaxErrorCarriesCodeTextAndLine) {
    Engine engine;
    EXPECT_FALSE(engine.addCode("Function F()\r\n  x = 1\r\n  If x Then\r\nEnd Function\r\n"));
    const ScriptError& e = engine.error();
    EXPECT_TRUE(e.isSyntax);
    EXPECT_EQ(e.number, 1012);
    EXPECT_EQ(e.code, int32_t(0x800A03F4u));
    EXPECT_EQ(e.description, "Expected 'If'");
    EXPECT_EQ(e.line, 4);
    ASSERT_TRUE(CheckSyntax("x = (1"));
    EXPECT_EQ(CheckSyntax("x = (1")->number, 1006);
    EXPECT_FALSE(CheckSyntax("x = (1)"));
}

TEST(ScriptErrors, RuntimeErrorCarriesCodeTextAndLine) {
    Engine engine;
    EXPECT_FALSE(engine.run("Missing"));
    EXPECT_EQ(engine.error().code, int32_t(0x80020006u));
    ASSERT_TRUE(engine.addCode("Function F()\n  a = 1\n  F = a / 0\nEnd Function\n"));
    EXPECT_FALSE(engine.run("F"));
    const ScriptError& e = engine.error();
    EXPECT_FALSE(e.isSyntax);
    EXPECT_EQ(e.code, int32_t(0x800A000Bu));
    EXPECT_EQ(e.description, "Division by zero");
    EXPECT_EQ(e.line, 3);
}

}  // namespace
}  // namespace kz::script::test
