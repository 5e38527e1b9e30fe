// RegExp objects: properties, Test, Replace, Execute with matches and submatches.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

TEST(RegExp, TestHonoursIgnoreCaseAndMultiLine) {
    EXPECT_EQ(
        RunBody("Set re = New RegExp\nre.Pattern = \"\\bfree\\b\"\nR = re.Test(\"FREE stuff\")"),
        "Boolean:False");
    EXPECT_EQ(RunBody("Set re = New RegExp\nre.Pattern = \"\\bfree\\b\"\nre.IgnoreCase = True\n"
                      "R = re.Test(\"FREE stuff\") And Not re.Test(\"freedom\")"),
              "Boolean:True");
    EXPECT_EQ(RunBody("Set re = CreateObject(\"VBScript.RegExp\")\nre.Pattern = \"^b$\"\n"
                      "R = re.Test(\"a\" & vbLf & \"b\" & vbLf & \"c\")\n"
                      "re.MultiLine = True\nR = R & re.Test(\"a\" & vbLf & \"b\" & vbLf & \"c\")"),
              "String:FalseTrue");
    // Lines of mail end in CR LF: multi-line ^ and $ take either break.
    EXPECT_EQ(RunBody("Set re = New RegExp\nre.Pattern = \"^b$\"\nre.MultiLine = True\n"
                      "R = re.Test(\"a\" & vbCrLf & \"b\" & vbCrLf)"),
              "Boolean:True");
}

TEST(RegExp, ReplaceFirstOrAllWithGroups) {
    const std::string setup = "Set re = New RegExp\nre.Pattern = \"(\\w+)@(\\w+)\"\n";
    EXPECT_EQ(RunBody(setup + "R = re.Replace(\"a@b c@d\", \"$2 at $1\")"), "String:b at a c@d");
    EXPECT_EQ(RunBody(setup + "re.Global = True\nR = re.Replace(\"a@b c@d\", \"<$&>\")"),
              "String:<a@b> <c@d>");
    EXPECT_EQ(RunBody(setup + "R = re.Replace(\"x a@b y\", \"[$`|$']$$\")"), "String:x [x | y]$ y");
    // An empty pattern match advances instead of looping.
    EXPECT_EQ(RunBody("Set re = New RegExp\nre.Pattern = \"x*\"\nre.Global = True\n"
                      "R = re.Replace(\"abc\", \"-\")"),
              "String:-a-b-c-");
}

TEST(RegExp, ExecuteGivesMatchesUsableInForEach) {
    EXPECT_EQ(RunBody("Set re = New RegExp\nre.Pattern = \"(\\d+)(px)?\"\nre.Global = True\n"
                      "Set ms = re.Execute(\"w 10px h 20\")\nR = ms.Count\n"
                      "For Each m In ms\nR = R & \"|\" & m.FirstIndex & \":\" & m.Value & \":\" & "
                      "m.Length & \":\" & m.SubMatches(0) & \":\" & IsEmpty(m.SubMatches.Item(1))\n"
                      "Next"),
              "String:2|2:10px:4:10:False|9:20:2:20:True");
    EXPECT_EQ(RunBody("Set re = New RegExp\nre.Pattern = \"o\"\n"
                      "Set ms = re.Execute(\"foo\")\nR = ms.Count & ms(0) & ms.Item(0).FirstIndex"),
              "String:1o1");
    EXPECT_EQ(ErrorOf("Set re = New RegExp\nre.Pattern = \"o\"\nx = re.Execute(\"a\").Item(0)"),
              "Error:5");
}

TEST(RegExp, BadPatternsAndRunawayBacktracking) {
    EXPECT_EQ(ErrorOf("Set re = New RegExp\nre.Pattern = \"(a\"\nx = re.Test(\"a\")"),
              "Error:5017");
    EXPECT_EQ(ErrorOf("Set re = New RegExp\nre.Pattern = String(500, \"(\")\nx = re.Test(\"a\")"),
              "Error:7");
    // Catastrophic backtracking hits the match limit instead of holding the thread.
    Engine engine;
    ASSERT_TRUE(engine.addCode(
        "Function T()\nOn Error Resume Next\nSet re = New RegExp\nre.Pattern = \"(a+)+$\"\n"
        "T = re.Test(String(40, \"a\") & \"!\")\nEnd Function"));
    EXPECT_FALSE(engine.run("T"));
    EXPECT_EQ(engine.error().number, 28);
}

}  // namespace
}  // namespace kz::script::test
