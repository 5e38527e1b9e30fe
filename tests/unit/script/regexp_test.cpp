// RegExp objects: properties, Test, Replace, Execute with matches and submatches.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

TEST(RegExp, ReplaceFirstOrAllWithGroups) {
    const std::string setup = "Set re = New RegExp\nre.Pattern = \"(\\w+)@(\\w+)\"\n";
    EXPECT_EQ(RunBody(setup + "R = re.Replace(\"a@b c@d\", \"$2 at $1\")"), "String:b at a c@d");
    EXPECT_EQ(RunBody(setup + "re.Global = True\nR = re.Replace(\"a@b c@d\", \"<$&>\")"),
              "String:<a@b> <c@d>");
    EXPECT_EQ(RunBody(setup + "R = re.Replace(\"x a@b y\", \"[$`|$']$$\")"), "String:x [x | y]$ y");
}

TEST(RegExp, BadPatternsAndRunawayBacktracking) {
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
