// The built-in functions, each result worked out from VBScript's documentation.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

struct Case {
    const char* expression;
    const char* expected;
};

class BuiltinTest : public ::testing::TestWithParam<Case> {};

TEST_P(BuiltinTest, ReturnsTheDocumentedValue) {
    EXPECT_EQ(Eval(GetParam().expression), GetParam().expected) << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Strings, BuiltinTest,
    ::testing::Values(
        Case{"Len(\"hello\")", "Long:5"}, Case{"Len(1234)", "Long:4"}, Case{"Len(Null)", "Null"},
        Case{"Left(\"hello\", 2) & Right(\"hello\", 3)", "String:hello"},
        Case{"Left(\"hi\", 10)", "String:hi"}, Case{"Left(\"hi\", -1)", "Error:5"},
        Case{"Mid(\"abcdef\", 2, 3)", "String:bcd"}, Case{"Mid(\"abcdef\", 4)", "String:def"},
        Case{"Mid(\"abc\", 9)", "String:"}, Case{"Mid(\"abc\", 0)", "Error:5"},
        Case{"InStr(\"abcabc\", \"c\")", "Long:3"}, Case{"InStr(4, \"abcabc\", \"c\")", "Long:6"},
        Case{"InStr(\"Free\", \"free\")", "Long:0"},
        Case{"InStr(1, \"Free\", \"free\", 1)", "Long:1"}, Case{"InStr(\"abc\", \"\")", "Long:1"},
        Case{"InStr(\"\", \"a\")", "Long:0"}, Case{"InStr(Null, \"a\")", "Null"},
        Case{"InStrRev(\"abcabc\", \"b\")", "Long:5"},
        Case{"InStrRev(\"abcabc\", \"b\", 4)", "Long:2"},
        Case{"LCase(\"MiXeD\") & UCase(\"MiXeD\")", "String:mixedMIXED"},
        Case{"\"[\" & Trim(\"  a b  \") & \"|\" & LTrim(\" x \") & \"|\" & RTrim(\" y \") & \"]\"",
             "String:[a b|x | y]"},
        Case{"Replace(\"a-b-c\", \"-\", \"+\")", "String:a+b+c"},
        Case{"Replace(\"a-b-c\", \"-\", \"+\", 1, 1)", "String:a+b-c"},
        Case{"Replace(\"a-b-c\", \"-\", \"+\", 3)", "String:b+c"},
        Case{"Replace(\"FREE free\", \"free\", \"x\", 1, -1, 1)", "String:x x"},
        Case{"Join(Split(\"a,b,,c\", \",\"), \"|\")", "String:a|b||c"},
        Case{"UBound(Split(\"\", \",\"))", "Long:-1"}, Case{"UBound(Split(\"a b c\"))", "Long:2"},
        Case{"Split(\"a,b,c\", \",\", 2)(1)", "String:b,c"},
        Case{"Join(Array(1, 2, 3))", "String:1 2 3"}, Case{"StrComp(\"a\", \"B\")", "Integer:1"},
        Case{"StrComp(\"a\", \"B\", 1)", "Integer:-1"}, Case{"StrComp(\"x\", \"x\")", "Integer:0"},
        Case{"\"[\" & Space(3) & \"]\"", "String:[   ]"},
        Case{"String(3, \"xy\") & String(2, 65)", "String:xxxAA"},
        Case{"Chr(65) & Asc(\"a\")", "String:A97"}, Case{"Asc(\"\")", "Error:5"},
        Case{"Chr(256)", "Error:5"}, Case{"StrReverse(\"abc\")", "String:cba"}));

INSTANTIATE_TEST_SUITE_P(
    Conversions, BuiltinTest,
    ::testing::Values(Case{"CStr(3.5)", "String:3.5"}, Case{"CStr(True)", "String:True"},
                      Case{"CInt(\"12\")", "Integer:12"}, Case{"CInt(2.5)", "Integer:2"},
                      Case{"CInt(3.5)", "Integer:4"}, Case{"CInt(-2.5)", "Integer:-2"},
                      Case{"CLng(\" 70000 \")", "Long:70000"}, Case{"CLng(\"&HFF\")", "Long:255"},
                      Case{"CDbl(\"1.5e1\")", "Double:15"},
                      Case{"CBool(\"false\")", "Boolean:False"}, Case{"CBool(2)", "Boolean:True"},
                      Case{"CBool(\"yes\")", "Error:13"}, Case{"Int(-2.5)", "Double:-3"},
                      Case{"Fix(-2.5)", "Double:-2"}, Case{"Int(7)", "Integer:7"},
                      Case{"Round(2.5)", "Double:2"}, Case{"Round(3.5)", "Double:4"},
                      Case{"Round(1.2345, 2)", "Double:1.23"}, Case{"Abs(-5)", "Integer:5"},
                      Case{"Abs(-32768)", "Long:32768"}, Case{"Abs(Null)", "Null"},
                      Case{"Sgn(-0.5) & Sgn(0) & Sgn(9)", "String:-101"},
                      Case{"Hex(255)", "String:FF"}, Case{"Hex(-1)", "String:FFFF"},
                      Case{"Hex(-70000)", "String:FFFEEE90"}));

INSTANTIATE_TEST_SUITE_P(
    Checks, BuiltinTest,
    ::testing::Values(
        Case{"IsNumeric(\"12.5\") & IsNumeric(\"1e3\") & IsNumeric(\"abc\") & IsNumeric(\"\")",
             "String:TrueTrueFalseFalse"},
        Case{"IsNumeric(Empty) & IsNumeric(Null)", "String:TrueFalse"},
        Case{"IsEmpty(Empty) & IsEmpty(\"\") & IsNull(Null)", "String:TrueFalseTrue"},
        Case{"IsArray(Array()) & IsArray(\"a\")", "String:TrueFalse"},
        Case{"TypeName(1) & TypeName(70000) & TypeName(1.5) & TypeName(\"\")",
             "String:IntegerLongDoubleString"},
        Case{"TypeName(Empty) & TypeName(Null) & TypeName(True) & TypeName(Array())",
             "String:EmptyNullBooleanVariant()"},
        Case{"TypeName(Nothing) & TypeName(New RegExp)", "String:NothingIRegExp2"},
        Case{"VarType(\"a\") & VarType(Array())", "String:88204"},
        Case{"LBound(Array(1)) & UBound(Array())", "String:0-1"}, Case{"UBound(1)", "Error:13"},
        Case{"UBound(Array(1), 2)", "Error:9"}));

INSTANTIATE_TEST_SUITE_P(
    Dates, BuiltinTest,
    ::testing::Values(
        Case{"Year(DateSerial(2024, 2, 29)) & \"-\" & Month(DateSerial(2024, 2, 29)) & \"-\" & "
             "Day(DateSerial(2024, 2, 29))",
             "String:2024-2-29"},
        Case{"Day(DateSerial(2024, 13, 1)) & Month(DateSerial(2024, 13, 1))", "String:11"},
        Case{"Weekday(DateSerial(2024, 1, 7))", "Integer:1"},
        Case{"Weekday(DateSerial(2024, 1, 7), 2)", "Integer:7"},
        Case{"Hour(TimeSerial(13, 45, 30)) & Minute(TimeSerial(13, 45, 30)) & "
             "Second(TimeSerial(13, 45, 30))",
             "String:134530"},
        Case{"CStr(DateSerial(2024, 3, 5) + TimeSerial(14, 5, 0))", "String:3/5/2024 2:05:00 PM"},
        Case{"CStr(DateSerial(1899, 12, 31))", "String:12/31/1899"},
        Case{"Year(0)", "Integer:1899"},
        Case{"TypeName(Now) & TypeName(Date) & TypeName(Time)", "String:DateDateDate"},
        Case{"Now >= Date And Year(Now) > 2000", "Boolean:True"}));

}  // namespace
}  // namespace kz::script::test
