// Syntax and run-time errors with their numbers, codes, texts and lines, and the Err
// object under On Error Resume Next.
#include <gtest/gtest.h>

#include "script/error.h"
#include "script_eval.h"

namespace kz::script::test {
namespace {

class SyntaxErrorTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(SyntaxErrorTest, IsReportedAsSyntaxError) {
    EXPECT_EQ(ErrorOf(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Compile, SyntaxErrorTest,
    ::testing::Values(
        ScriptCase{"If x Then\nx = 1", "Syntax:1012"}, ScriptCase{"If x\nEnd If", "Syntax:1017"},
        ScriptCase{"For i = 1\nNext", "Syntax:1013"},
        ScriptCase{"For i = 1 To 2\nx = 1", "Syntax:1020"}, ScriptCase{"Do\nx = 1", "Syntax:1019"},
        ScriptCase{"While True\nx = 1", "Syntax:1018"},
        ScriptCase{"Select Case x\nCase 1\nx = 1", "Syntax:1022"},
        ScriptCase{"x = (1 + 2", "Syntax:1006"}, ScriptCase{"x = 1 +", "Syntax:1023"},
        ScriptCase{"x = 1 2", "Syntax:1025"}, ScriptCase{"Dim 5", "Syntax:1010"},
        ScriptCase{"Dim a(n)", "Syntax:1026"}, ScriptCase{"Exit Do", "Syntax:1039"},
        ScriptCase{"Next", "Syntax:1014"}, ScriptCase{"Const c = x", "Syntax:1045"},
        ScriptCase{"MsgBox(1, 2)", "Syntax:1044"}, ScriptCase{"On Error Resume", "Syntax:1002"},
        ScriptCase{"Option Explicit", "Syntax:1002"}),
    ScriptCaseName);

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
    ASSERT_TRUE(engine.addCode("Function F()\n  a = 1\n  F = a / 0\nEnd Function\n"));
    EXPECT_FALSE(engine.run("F"));
    const ScriptError& e = engine.error();
    EXPECT_FALSE(e.isSyntax);
    EXPECT_EQ(e.code, int32_t(0x800A000Bu));
    EXPECT_EQ(e.description, "Division by zero");
    EXPECT_EQ(e.line, 3);
}

TEST(ScriptErrors, TopLevelRuntimeErrorFailsAddCode) {
    Engine engine;
    EXPECT_TRUE(engine.addCode("x = Array(1)(0)\n"));
    EXPECT_FALSE(engine.addCode("Dim a(1)\nx = a(5)\n"));
    EXPECT_EQ(engine.error().number, 9);
    EXPECT_FALSE(engine.error().isSyntax);
}

TEST(ScriptErrors, CallingUnknownNames) {
    EXPECT_EQ(ErrorOf("NoSuchSub 1"), "Error:13");
    EXPECT_EQ(ErrorOf("x = NoSuchFunction(1)"), "Error:13");
    EXPECT_EQ(ErrorOf("x = CreateObject(\"Scripting.FileSystemObject\")"), "Error:429");
    EXPECT_EQ(ErrorOf("Set x = New Widget"), "Error:506");
    EXPECT_EQ(ErrorOf("x = 1\ny = x.Name"), "Error:424");
    EXPECT_EQ(ErrorOf("Set x = 1"), "Error:424");
    EXPECT_EQ(ErrorOf("Set r = New RegExp\ny = r.NoSuchMember"), "Error:438");
    EXPECT_EQ(ErrorOf("x = Left(\"a\")"), "Error:450");
    Engine engine;
    EXPECT_FALSE(engine.run("Missing"));
    EXPECT_EQ(engine.error().code, int32_t(0x80020006u));
}

TEST(ResumeNext, ContinuesWithTheNextStatementAndRecordsErr) {
    EXPECT_EQ(RunBody("On Error Resume Next\nx = 1 / 0\nR = Err.Number & \":\" & Err.Description"),
              "String:11:Division by zero");
    EXPECT_EQ(RunBody("On Error Resume Next\nx = 1 / 0\nErr.Clear\nR = Err.Number"), "Long:0");
    EXPECT_EQ(RunBody("On Error Resume Next\nR = 1\nR = CInt(\"x\")\nR = R + 1"), "Integer:2");
    // A failing If condition enters its branch.
    EXPECT_EQ(RunBody("On Error Resume Next\nIf 1 / 0 Then R = \"in\" Else R = \"out\""),
              "String:in");
    EXPECT_EQ(ErrorOf("On Error Resume Next\nOn Error GoTo 0\nx = 1 / 0"), "Error:11");
}

TEST(ResumeNext, ErrorsInCalleesReturnToTheCaller) {
    Engine engine;
    ASSERT_TRUE(engine.addCode(
        "Function Inner()\nInner = 1\nx = 1 / 0\nInner = 2\nEnd Function\n"
        "Function T()\nOn Error Resume Next\nT = \"before\"\nT = Inner()\nT = T & Err.Number\n"
        "End Function"));
    // The call's assignment is skipped; the caller goes on after it.
    EXPECT_EQ(Show(*engine.run("T")), "String:before11");
}

TEST(ResumeNext, ErrRaise) {
    EXPECT_EQ(RunBody("On Error Resume Next\nErr.Raise 1000, \"me\", \"custom\"\n"
                      "R = Err.Number & Err.Description"),
              "String:1000custom");
    EXPECT_EQ(RunBody("On Error Resume Next\nErr.Raise 13\nR = Err.Description"),
              "String:Type mismatch");
    EXPECT_EQ(ErrorOf("Err.Raise 5"), "Error:5");
}

}  // namespace
}  // namespace kz::script::test
