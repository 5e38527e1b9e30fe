// Each statement of the language, run as the body of a function.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

struct Case {
    const char* name;
    const char* body;
    const char* expected;
};

class StatementTest : public ::testing::TestWithParam<Case> {};

TEST_P(StatementTest, RunsAsVBScriptDoes) {
    EXPECT_EQ(RunBody(GetParam().body), GetParam().expected) << GetParam().name;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, StatementTest,
    ::testing::Values(
        Case{"BlockIf", "If 1 > 2 Then\nR = 1\nElseIf 2 > 1 Then\nR = 2\nElse\nR = 3\nEnd If",
             "Integer:2"},
        Case{"SingleLineIf", "If True Then R = 1 : R = R + 1 Else R = 9", "Integer:2"},
        Case{"SingleLineElse", "If False Then R = 1 Else R = 2 : R = R * 5", "Integer:10"},
        Case{"NullConditionIsFalse", "R = 1\nIf Null Then R = 2", "Integer:1"},
        Case{"StringCondition", "If \"True\" Then R = 5", "Integer:5"},
        Case{"SelectList", "Select Case 4\nCase 1, 2\nR = \"a\"\nCase 3, 4\nR = \"b\"\nEnd Select",
             "String:b"},
        Case{"SelectRange", "Select Case 15\nCase 1 To 9\nR = 1\nCase 10 To 19\nR = 2\nEnd Select",
             "Integer:2"},
        Case{"SelectIs", "Select Case 100\nCase Is < 50\nR = 1\nCase Is >= 100\nR = 2\nEnd Select",
             "Integer:2"},
        Case{"SelectElse", "Select Case \"x\"\nCase \"y\"\nR = 1\nCase Else\nR = 3\nEnd Select",
             "Integer:3"},
        Case{"SelectFirstMatchOnly", "Select Case 1\nCase 1\nR = 1\nCase 1\nR = 2\nEnd Select",
             "Integer:1"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Loops, StatementTest,
    ::testing::Values(
        Case{"ForSum", "For i = 1 To 10\nR = R + i\nNext", "Integer:55"},
        Case{"ForStepDown", "For i = 10 To 1 Step -3\nR = R & i\nNext", "String:10741"},
        Case{"ForNeverEntered", "R = 0\nFor i = 5 To 1\nR = 1\nNext\nR = R & i", "String:05"},
        Case{"ForCounterAfterLoop", "For i = 1 To 3\nNext\nR = i", "Integer:4"},
        Case{"ForFractionalStep", "For x = 0 To 1 Step 0.25\nR = R + 1\nNext", "Integer:5"},
        Case{"ExitFor", "For i = 1 To 10\nIf i = 4 Then Exit For\nNext\nR = i", "Integer:4"},
        Case{"ForEachArray", "For Each v In Array(\"a\", \"b\", \"c\")\nR = R & v\nNext",
             "String:abc"},
        Case{"DoWhileTop", "i = 0\nDo While i < 5\ni = i + 1\nLoop\nR = i", "Integer:5"},
        Case{"DoUntilBottomRunsOnce", "i = 10\nDo\ni = i + 1\nLoop Until i > 5\nR = i",
             "Integer:11"},
        Case{"DoWhileBottom", "Do\nR = R + 1\nLoop While R < 3", "Integer:3"},
        Case{"DoUntilTop", "Do Until R >= 4\nR = R + 2\nLoop", "Integer:4"},
        Case{"ExitDoInnerOnly", "Do\nDo\nExit Do\nLoop\nR = R + 1\nIf R = 2 Then Exit Do\nLoop",
             "Integer:2"},
        Case{"WhileWend", "While R < 7\nR = R + 1\nWend", "Integer:7"},
        Case{"ExitDoLeavesTheDoAroundAWhile",
             "Do\nWhile True\nR = R + 1\nExit Do\nWend\nR = 99\nLoop", "Integer:1"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Declarations, StatementTest,
    ::testing::Values(
        Case{"DimArray", "Dim a(2)\na(2) = 5\nR = UBound(a) & a(2)", "String:25"},
        Case{"DimTwoDimensions", "Dim a(1, 2)\na(1, 2) = 7\nR = UBound(a, 2) & a(1, 2)",
             "String:27"},
        Case{"ReDimPreserve", "ReDim a(1)\na(0) = \"x\"\nReDim Preserve a(3)\nR = a(0) & UBound(a)",
             "String:x3"},
        Case{"ReDimClears", "ReDim a(1)\na(0) = \"x\"\nReDim a(1)\nR = IsEmpty(a(0))",
             "Boolean:True"},
        Case{"ReDimFixedArray", "Dim a(1)\nReDim a(3)", "Error:10"},
        Case{"Const", "Const Limit = 5\nR = Limit * 2", "Integer:10"},
        Case{"ConstNegative", "Const Low = -3\nR = Low", "Integer:-3"},
        Case{"ConstReadOnly", "Const Limit = 5\nLimit = 6", "Error:501"},
        Case{"EraseFixed", "Dim a(1)\na(0) = 1\nErase a\nR = IsEmpty(a(0))", "Boolean:True"},
        Case{"SubscriptOutOfRange", "Dim a(1)\nR = a(2)", "Error:9"},
        Case{"EmptyDimensionBesideAHugeOne", "ReDim a(-1, 2147483647)\nR = a(0, 2147483647)",
             "Error:9"},
        Case{"NegativeUpperBound", "ReDim a(-2)", "Error:9"},
        Case{"ImplicitVariableIsEmpty", "R = IsEmpty(neverSet)", "Boolean:True"},
        Case{"NamesIgnoreCase", "MyValue = 3\nR = MYVALUE + myvalue", "Integer:6"},
        Case{"BracketedName", "[my value] = 4\nR = [my value]", "Integer:4"}),
    CaseName);

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
