// Procedures: arguments by reference and by value, recursion, globals and locals.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

TEST(Procedures, ByRefIsTheDefaultAndByValCopies) {
    Engine engine;
    ASSERT_TRUE(engine.addCode(
        "Sub Bump(n)\nn = n + 1\nEnd Sub\n"
        "Sub Keep(ByVal n)\nn = n + 1\nEnd Sub\n"
        "Function T()\na = 1\nBump a\nCall Bump(a)\nKeep a\nBump (a)\nT = a\nEnd Function\n"));
    std::optional<Value> result = engine.run("T");
    ASSERT_TRUE(result);
    // Bump twice by reference; Keep and a parenthesised argument pass copies.
    EXPECT_EQ(Show(*result), "Integer:3");
}

TEST(Procedures, RecursionExitFunctionAndGlobals) {
    Engine engine;
    ASSERT_TRUE(engine.addCode(
        "Dim calls\n"
        "Function Fact(n)\ncalls = calls + 1\nIf n <= 1 Then\nFact = 1\nExit Function\nEnd If\n"
        "Fact = n * Fact(n - 1)\nEnd Function\n"));
    std::optional<Value> result = engine.run("FACT", {Value::integer(6)});
    ASSERT_TRUE(result);
    EXPECT_EQ(Show(*result), "Integer:720");
    ASSERT_TRUE(engine.addCode("Function Calls()\nCalls = calls\nEnd Function"));
    EXPECT_EQ(Show(*engine.run("Calls")), "Integer:6");
}

TEST(Procedures, TopLevelStatementsRunWhenCodeIsAdded) {
    Engine engine;
    ASSERT_TRUE(
        engine.addCode("Dim greeting\ngreeting = \"hi\" & \"!\"\n"
                       "Function Get()\nGet = greeting\nEnd Function"));
    EXPECT_EQ(Show(*engine.run("get")), "String:hi!");
}

TEST(Procedures, LocalsHideGlobalsAndVanishAfterTheCall) {
    Engine engine;
    ASSERT_TRUE(
        engine.addCode("x = 1\nSub S()\nDim x\nx = 5\nEnd Sub\n"
                       "Function T()\nS\nT = x\nEnd Function"));
    EXPECT_EQ(Show(*engine.run("T")), "Integer:1");
}

TEST(Procedures, WrongArgumentCount) {
    EXPECT_EQ(ErrorOf("Sub S(a)\nEnd Sub"), "Syntax:1002");
    Engine engine;
    ASSERT_TRUE(
        engine.addCode("Function F(a, b)\nF = a\nEnd Function\n"
                       "Function T()\nT = F(1)\nEnd Function"));
    EXPECT_FALSE(engine.run("T"));
    EXPECT_EQ(engine.error().number, 450);
}

TEST(Procedures, OptionExplicitRejectsUndeclaredNames) {
    Engine engine;
    ASSERT_TRUE(
        engine.addCode("Option Explicit\nDim known\n"
                       "Function T()\nknown = 1\nunknown = 2\nEnd Function"));
    EXPECT_FALSE(engine.run("T"));
    EXPECT_EQ(engine.error().number, 500);
    EXPECT_EQ(engine.error().description, "Variable is undefined");
    EXPECT_EQ(engine.error().line, 5);
}

}  // namespace
}  // namespace kz::script::test
