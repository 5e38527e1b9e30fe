// The built-in functions, each result worked out from VBScript's documentation.
#include <gtest/gtest.h>

#include "script_eval.h"

namespace kz::script::test {
namespace {

class BuiltinTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(BuiltinTest, ReturnsTheDocumentedValue) {
    EXPECT_EQ(Eval(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Strings, BuiltinTest,
    ::testing::Values(
        ScriptCase{"Len(\"hello\")", "Long:5"}, ScriptCase{"Len(1234)", "Long:4"},
        ScriptCase{"Len(Null)", "Null"},
        ScriptCase{"Left(\"hello\", 2) & Right(\"hello\", 3)", "String:hello"},
        ScriptCase{"Left(\"hi\", 10)", "String:hi"}, ScriptCase{"Left(\"hi\", -1)", "Error:5"},
        ScriptCase{"Mid(\"abcdef\", 2, 3)", "String:bcd"},
        ScriptCase{"Mid(\"abcdef\", 4)", "String:def"}, ScriptCase{"Mid(\"abc\", 9)", "String:"},
        ScriptCase{"Mid(\"abc\", 0)", "Error:5"}, ScriptCase{"InStr(\"abcabc\", \"c\")", "Long:3"},
        ScriptCase{"InStr(4, \"abcabc\", \"c\")", "Long:6"},
        ScriptCase{"InStr(\"Free\", \"free\")", "Long:0"},
        ScriptCase{"InStr(1, \"Free\", \"free\", 1)", "Long:1"},
        ScriptCase{"InStr(\"abc\", \"\")", "Long:1"}, ScriptCase{"InStr(\"\", \"a\")", "Long:0"},
        ScriptCase{"InStr(Null, \"a\")", "Null"},
        ScriptCase{"InStrRev(\"abcabc\", \"b\")", "Long:5"},
        ScriptCase{"InStrRev(\"abcabc\", \"b\", 4)", "Long:2"},
        ScriptCase{"LCase(\"MiXeD\") & UCase(\"MiXeD\")", "String:mixedMIXED"},
        ScriptCase{
            "\"[\" & Trim(\"  a b  \") & \"|\" & LTrim(\" x \") & \"|\" & RTrim(\" y \") & \"]\"",
            "String:[a b|x | y]"},
        ScriptCase{"Replace(\"a-b-c\", \"-\", \"+\")", "String:a+b+c"},
        ScriptCase{"Replace(\"a-b-c\", \"-\", \"+\", 1, 1)", "String:a+b-c"},
        ScriptCase{"Replace(\"a-b-c\", \"-\", \"+\", 3)", "String:b+c"},
        ScriptCase{"Replace(\"FREE free\", \"free\", \"x\", 1, -1, 1)", "String:x x"},
        ScriptCase{"Join(Split(\"a,b,,c\", \",\"), \"|\")", "String:a|b||c"},
        ScriptCase{"UBound(Split(\"\", \",\"))", "Long:-1"},
        ScriptCase{"UBound(Split(\"a b c\"))", "Long:2"},
        ScriptCase{"Split(\"a,b,c\", \",\", 2)(1)", "String:b,c"},
        ScriptCase{"Join(Array(1, 2, 3))", "String:1 2 3"},
        ScriptCase{"StrComp(\"a\", \"B\")", "Integer:1"},
        ScriptCase{"StrComp(\"a\", \"B\", 1)", "Integer:-1"},
        ScriptCase{"StrComp(\"x\", \"x\")", "Integer:0"},
        ScriptCase{"\"[\" & Space(3) & \"]\"", "String:[   ]"},
        ScriptCase{"String(3, \"xy\") & String(2, 65)", "String:xxxAA"},
        ScriptCase{"Chr(65) & Asc(\"a\")", "String:A97"}, ScriptCase{"Asc(\"\")", "Error:5"},
        ScriptCase{"Chr(256)", "Error:5"}, ScriptCase{"StrReverse(\"abc\")", "String:cba"}),
    ScriptCaseName);

INSTANTIATE_TEST_SUITE_P(
    Conversions, BuiltinTest,
    ::testing::Values(
        ScriptCase{"CStr(3.5)", "String:3.5"}, ScriptCase{"CStr(True)", "String:True"},
        ScriptCase{"CInt(\"12\")", "Integer:12"}, ScriptCase{"CInt(2.5)", "Integer:2"},
        ScriptCase{"CInt(3.5)", "Integer:4"}, ScriptCase{"CInt(-2.5)", "Integer:-2"},
        ScriptCase{"CLng(\" 70000 \")", "Long:70000"}, ScriptCase{"CLng(\"&HFF\")", "Long:255"},
        ScriptCase{"CDbl(\"1.5e1\")", "Double:15"}, ScriptCase{"CBool(\"false\")", "Boolean:False"},
        ScriptCase{"CBool(2)", "Boolean:True"}, ScriptCase{"CBool(\"yes\")", "Error:13"},
        ScriptCase{"Int(-2.5)", "Double:-3"}, ScriptCase{"Fix(-2.5)", "Double:-2"},
        ScriptCase{"Int(7)", "Integer:7"}, ScriptCase{"Round(2.5)", "Double:2"},
        ScriptCase{"Round(3.5)", "Double:4"}, ScriptCase{"Round(1.2345, 2)", "Double:1.23"},
        ScriptCase{"Abs(-5)", "Integer:5"}, ScriptCase{"Abs(-32768)", "Long:32768"},
        ScriptCase{"Abs(Null)", "Null"}, ScriptCase{"Sgn(-0.5) & Sgn(0) & Sgn(9)", "String:-101"},
        ScriptCase{"Hex(255)", "String:FF"}, ScriptCase{"Hex(-1)", "String:FFFF"},
        ScriptCase{"Hex(-70000)", "String:FFFEEE90"}),
    ScriptCaseName);

INSTANTIATE_TEST_SUITE_P(
    Checks, BuiltinTest,
    ::testing::Values(
        ScriptCase{
            "IsNumeric(\"12.5\") & IsNumeric(\"1e3\") & IsNumeric(\"abc\") & IsNumeric(\"\")",
            "String:TrueTrueFalseFalse"},
        ScriptCase{"IsNumeric(Empty) & IsNumeric(Null)", "String:TrueFalse"},
        ScriptCase{"IsEmpty(Empty) & IsEmpty(\"\") & IsNull(Null)", "String:TrueFalseTrue"},
        ScriptCase{"IsArray(Array()) & IsArray(\"a\")", "String:TrueFalse"},
        ScriptCase{"TypeName(1) & TypeName(70000) & TypeName(1.5) & TypeName(\"\")",
                   "String:IntegerLongDoubleString"},
        ScriptCase{"TypeName(Empty) & TypeName(Null) & TypeName(True) & TypeName(Array())",
                   "String:EmptyNullBooleanVariant()"},
        ScriptCase{"TypeName(Nothing) & TypeName(New RegExp)", "String:NothingIRegExp2"},
        ScriptCase{"VarType(\"a\") & VarType(Array())", "String:88204"},
        ScriptCase{"LBound(Array(1)) & UBound(Array())", "String:0-1"},
        ScriptCase{"UBound(1)", "Error:13"}, ScriptCase{"UBound(Array(1), 2)", "Error:9"}),
    ScriptCaseName);

INSTANTIATE_TEST_SUITE_P(
    Dates, BuiltinTest,
    ::testing::Values(
        ScriptCase{
            "Year(DateSerial(2024, 2, 29)) & \"-\" & Month(DateSerial(2024, 2, 29)) & \"-\" & "
            "Day(DateSerial(2024, 2, 29))",
            "String:2024-2-29"},
        ScriptCase{"Day(DateSerial(2024, 13, 1)) & Month(DateSerial(2024, 13, 1))", "String:11"},
        ScriptCase{"Weekday(DateSerial(2024, 1, 7))", "Integer:1"},
        ScriptCase{"Weekday(DateSerial(2024, 1, 7), 2)", "Integer:7"},
        ScriptCase{"Hour(TimeSerial(13, 45, 30)) & Minute(TimeSerial(13, 45, 30)) & "
                   "Second(TimeSerial(13, 45, 30))",
                   "String:134530"},
        ScriptCase{"CStr(DateSerial(2024, 3, 5) + TimeSerial(14, 5, 0))",
                   "String:3/5/2024 2:05:00 PM"},
        ScriptCase{"CStr(DateSerial(1899, 12, 31))", "String:12/31/1899"},
        ScriptCase{"Year(0)", "Integer:1899"},
        ScriptCase{"TypeName(Now) & TypeName(Date) & TypeName(Time)", "String:DateDateDate"},
        ScriptCase{"Now >= Date And Year(Now) > 2000", "Boolean:True"}),
    ScriptCaseName);

}  // namespace
}  // namespace kz::script::test
