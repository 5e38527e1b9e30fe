// The lexical rules: comments, continuations, separators, literals and names.
#include <gtest/gtest.h>

#include "script/lexer.h"
#include "script_eval.h"

namespace kz::script::test {
namespace {

TEST(Lexing, CommentsContinuationsAndSeparators) {
    EXPECT_EQ(RunBody("R = 1 ' comment with \"quote\"\nRem R = 2\nR = R + 1 : Rem more"),
              "Integer:2");
    EXPECT_EQ(RunBody("R = 1 + _\n   2 + _  \r\n 3"), "Integer:6");
    EXPECT_EQ(RunBody("R = 1 :: R = R + 1"), "Integer:2");
    EXPECT_EQ(RunBody("r = 1\r\nIF r = 1 THEN r = 2 END_ignored = 0"), "Syntax:1025");
}

TEST(Lexing, StringLiteralsDoubleTheirQuotes) {
    EXPECT_EQ(Eval("\"say \"\"hi\"\"\""), "String:say \"hi\"");
    EXPECT_EQ(Eval("\"\"\"\""), "String:\"");
    EXPECT_EQ(Eval("\"\""), "String:");
    EXPECT_EQ(ErrorOf("x = \"open"), "Syntax:1033");
    EXPECT_EQ(ErrorOf("x = \"open\nR = 1\""), "Syntax:1033");
}

TEST(Lexing, NumberForms) {
    std::vector<Token> tokens = Tokenize("x = 12 + 3.5 + &H10 + &o17 + 1e2");
    std::vector<std::string> numbers;
    for (const Token& t : tokens)
        if (t.kind == TokenKind::Number) numbers.push_back(ToString(t.number));
    EXPECT_EQ(numbers, (std::vector<std::string>{"12", "3.5", "16", "15", "100"}));
    EXPECT_EQ(Eval("40000"), "Long:40000");
    EXPECT_EQ(Eval("3000000000"), "Double:3000000000");
    EXPECT_EQ(ErrorOf("x = &H"), "Syntax:1002");
}

TEST(Lexing, KeywordsAndNamesIgnoreCase) {
    EXPECT_EQ(RunBody("DIM x\nx = TRUE\nif X then r = \"yes\" eLsE r = \"no\""), "String:yes");
    EXPECT_EQ(RunBody("fOR i = 1 tO 2 : R = R + i : nExT"), "Integer:3");
}

TEST(Lexing, BracketedNamesAreNeverKeywords) {
    EXPECT_EQ(RunBody("[If] = 2\nR = [If] * 3"), "Integer:6");
    // A criterion token left in the script is an undeclared variable: Empty.
    EXPECT_EQ(RunBody("R = IsEmpty([KZ_subject])"), "Boolean:True");
    EXPECT_EQ(ErrorOf("x = [open"), "Syntax:1010");
}

TEST(Lexing, InvalidCharactersAreSyntaxErrors) {
    EXPECT_EQ(ErrorOf("x = 1 $ 2"), "Syntax:1032");
    EXPECT_EQ(ErrorOf("x = 1 _ 2"), "Syntax:1032");
    EXPECT_EQ(ErrorOf("x = #1/1/2000#"), "Syntax:1032");
}

}  // namespace
}  // namespace kz::script::test
