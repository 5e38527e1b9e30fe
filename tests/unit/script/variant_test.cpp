// Variant arithmetic, conversion and comparison, each value worked out from VBScript's
// documented rules.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

class VariantTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(VariantTest, EvaluatesAsVBScriptDoes) {
    EXPECT_EQ(Eval(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Promotion, VariantTest,
    ::testing::Values(
        ScriptCase{"1 + 2", "Integer:3"}, ScriptCase{"32767 + 1", "Long:32768"},
        ScriptCase{"2147483647 + 1", "Double:2147483648"}, ScriptCase{"-32768 - 1", "Long:-32769"},
        ScriptCase{"-(-32768)", "Long:32768"}, ScriptCase{"True + True", "Integer:-2"},
        ScriptCase{"Empty + Empty", "Integer:0"}, ScriptCase{"1.5 + 1", "Double:2.5"},
        ScriptCase{"\"3\" + 4", "Double:7"}, ScriptCase{"\"3\" + \"4\"", "String:34"},
        ScriptCase{"\"3\" & 4", "String:34"}, ScriptCase{"Null + 1", "Null"},
        ScriptCase{"Null & \"a\"", "String:a"}, ScriptCase{"Null & Null", "Null"},
        ScriptCase{"7 / 2", "Double:3.5"}, ScriptCase{"4 / 2", "Double:2"},
        ScriptCase{"7 \\ 2", "Integer:3"}, ScriptCase{"-7 \\ 2", "Integer:-3"},
        ScriptCase{"7.5 \\ 2", "Long:4"}, ScriptCase{"-7 Mod 3", "Integer:-1"},
        ScriptCase{"100000 Mod 7", "Long:5"}, ScriptCase{"2 ^ 10", "Double:1024"},
        ScriptCase{"-2 ^ 2", "Double:-4"}, ScriptCase{"2 ^ -1", "Double:0.5"},
        ScriptCase{"2 * 3 + 4 * 5", "Integer:26"}, ScriptCase{"1 + 2 & 3", "String:33"},
        ScriptCase{"&HFF", "Integer:255"}, ScriptCase{"&HFFFF", "Integer:-1"},
        ScriptCase{"&HFFFF&", "Long:65535"}, ScriptCase{"&H7FFFFFFF", "Long:2147483647"},
        ScriptCase{"1E3", "Double:1000"}, ScriptCase{".5 + .25", "Double:0.75"},
        ScriptCase{"1 / 3", "Double:0.333333333333333"}, ScriptCase{"1E15 + 0", "Double:1E+15"}),
    ScriptCaseName);

INSTANTIATE_TEST_SUITE_P(
    Logic, VariantTest,
    ::testing::Values(ScriptCase{"True", "Boolean:True"}, ScriptCase{"CInt(True)", "Integer:-1"},
                      ScriptCase{"Not True", "Boolean:False"}, ScriptCase{"Not 0", "Integer:-1"},
                      ScriptCase{"Not Null", "Null"}, ScriptCase{"5 And 3", "Integer:1"},
                      ScriptCase{"5 Or 3", "Integer:7"}, ScriptCase{"5 Xor 3", "Integer:6"},
                      ScriptCase{"True Eqv False", "Boolean:False"},
                      ScriptCase{"False Imp False", "Boolean:True"},
                      ScriptCase{"Null And False", "Boolean:False"},
                      ScriptCase{"Null And True", "Null"},
                      ScriptCase{"Null Or True", "Boolean:True"},
                      ScriptCase{"Null Or False", "Null"}, ScriptCase{"Not 1 = 2", "Boolean:True"},
                      ScriptCase{"True Or False And False", "Boolean:True"},
                      ScriptCase{"1 < 2 And 2 < 3", "Boolean:True"}),
    ScriptCaseName);

INSTANTIATE_TEST_SUITE_P(
    Comparison, VariantTest,
    ::testing::Values(
        ScriptCase{"1 = 1.0", "Boolean:True"}, ScriptCase{"\"abc\" < \"abd\"", "Boolean:True"},
        ScriptCase{"\"a\" = \"A\"", "Boolean:False"}, ScriptCase{"\"B\" < \"a\"", "Boolean:True"},
        ScriptCase{"Empty = 0", "Boolean:True"}, ScriptCase{"Empty = \"\"", "Boolean:True"},
        ScriptCase{"Null = Null", "Null"}, ScriptCase{"1 = Null", "Null"},
        ScriptCase{"True = -1", "Boolean:True"}, ScriptCase{"\"10\" > 9", "Boolean:True"},
        ScriptCase{"CStr(10) < \"9\"", "Boolean:True"}, ScriptCase{"1 Is Nothing", "Error:424"}),
    ScriptCaseName);

INSTANTIATE_TEST_SUITE_P(
    Failures, VariantTest,
    ::testing::Values(ScriptCase{"1 / 0", "Error:11"}, ScriptCase{"0 / 0", "Error:6"},
                      ScriptCase{"5 Mod 0", "Error:11"}, ScriptCase{"\"abc\" + 1", "Error:13"},
                      ScriptCase{"CInt(32768)", "Error:6"}, ScriptCase{"CLng(\"x\")", "Error:13"},
                      ScriptCase{"CStr(Null)", "Error:94"}, ScriptCase{"1E308 * 10", "Error:6"}),
    ScriptCaseName);

TEST(VariantVariables, NumberAgainstStringVariableComparesAsText) {
    // Between two variables a number is always less than a string.
    EXPECT_EQ(RunBody("a = 10 : b = \"9\" : R = a < b"), "Boolean:True");
    EXPECT_EQ(RunBody("a = 10 : b = \"10\" : R = a = b"), "Boolean:False");
    // A number literal makes the string compare as a number.
    EXPECT_EQ(RunBody("b = \"10\" : R = b = 10"), "Boolean:True");
}

TEST(VariantVariables, ArraysAreCopiedOnAssignment) {
    EXPECT_EQ(RunBody("a = Array(1, 2) : b = a : b(0) = 9 : R = a(0) & b(0)"), "String:19");
}

}  // namespace
}  // namespace kz::script::test
