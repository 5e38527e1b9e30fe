// Variant arithmetic, conversion and comparison, each value worked out from VBScript's
// documented rules.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

struct Case {
    const char* expression;
    const char* expected;
};

class VariantTest : public ::testing::TestWithParam<Case> {};

TEST_P(VariantTest, EvaluatesAsVBScriptDoes) {
    EXPECT_EQ(Eval(GetParam().expression), GetParam().expected) << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Promotion, VariantTest,
    ::testing::Values(
        Case{"1 + 2", "Integer:3"}, Case{"32767 + 1", "Long:32768"},
        Case{"2147483647 + 1", "Double:2147483648"}, Case{"-32768 - 1", "Long:-32769"},
        Case{"-(-32768)", "Long:32768"}, Case{"True + True", "Integer:-2"},
        Case{"Empty + Empty", "Integer:0"}, Case{"1.5 + 1", "Double:2.5"},
        Case{"\"3\" + 4", "Double:7"}, Case{"\"3\" + \"4\"", "String:34"},
        Case{"\"3\" & 4", "String:34"}, Case{"Null + 1", "Null"}, Case{"Null & \"a\"", "String:a"},
        Case{"Null & Null", "Null"}, Case{"7 / 2", "Double:3.5"}, Case{"4 / 2", "Double:2"},
        Case{"7 \\ 2", "Integer:3"}, Case{"-7 \\ 2", "Integer:-3"}, Case{"7.5 \\ 2", "Long:4"},
        Case{"-7 Mod 3", "Integer:-1"}, Case{"100000 Mod 7", "Long:5"},
        Case{"2 ^ 10", "Double:1024"}, Case{"-2 ^ 2", "Double:-4"}, Case{"2 ^ -1", "Double:0.5"},
        Case{"2 * 3 + 4 * 5", "Integer:26"}, Case{"1 + 2 & 3", "String:33"},
        Case{"&HFF", "Integer:255"}, Case{"&HFFFF", "Integer:-1"}, Case{"&HFFFF&", "Long:65535"},
        Case{"&H7FFFFFFF", "Long:2147483647"}, Case{"1E3", "Double:1000"},
        Case{".5 + .25", "Double:0.75"}, Case{"1 / 3", "Double:0.333333333333333"},
        Case{"1E15 + 0", "Double:1E+15"}));

INSTANTIATE_TEST_SUITE_P(
    Logic, VariantTest,
    ::testing::Values(
        Case{"True", "Boolean:True"}, Case{"CInt(True)", "Integer:-1"},
        Case{"Not True", "Boolean:False"}, Case{"Not 0", "Integer:-1"}, Case{"Not Null", "Null"},
        Case{"5 And 3", "Integer:1"}, Case{"5 Or 3", "Integer:7"}, Case{"5 Xor 3", "Integer:6"},
        Case{"True Eqv False", "Boolean:False"}, Case{"False Imp False", "Boolean:True"},
        Case{"Null And False", "Boolean:False"}, Case{"Null And True", "Null"},
        Case{"Null Or True", "Boolean:True"}, Case{"Null Or False", "Null"},
        Case{"Not 1 = 2", "Boolean:True"}, Case{"True Or False And False", "Boolean:True"},
        Case{"1 < 2 And 2 < 3", "Boolean:True"}));

INSTANTIATE_TEST_SUITE_P(
    Comparison, VariantTest,
    ::testing::Values(Case{"1 = 1.0", "Boolean:True"}, Case{"\"abc\" < \"abd\"", "Boolean:True"},
                      Case{"\"a\" = \"A\"", "Boolean:False"}, Case{"\"B\" < \"a\"", "Boolean:True"},
                      Case{"Empty = 0", "Boolean:True"}, Case{"Empty = \"\"", "Boolean:True"},
                      Case{"Null = Null", "Null"}, Case{"1 = Null", "Null"},
                      Case{"True = -1", "Boolean:True"}, Case{"\"10\" > 9", "Boolean:True"},
                      Case{"CStr(10) < \"9\"", "Boolean:True"}, Case{"1 Is Nothing", "Error:424"}));

INSTANTIATE_TEST_SUITE_P(
    Failures, VariantTest,
    ::testing::Values(Case{"1 / 0", "Error:11"}, Case{"0 / 0", "Error:6"},
                      Case{"5 Mod 0", "Error:11"}, Case{"\"abc\" + 1", "Error:13"},
                      Case{"CInt(32768)", "Error:6"}, Case{"CLng(\"x\")", "Error:13"},
                      Case{"CStr(Null)", "Error:94"}, Case{"1E308 * 10", "Error:6"}));

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
