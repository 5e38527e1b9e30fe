// The lexical rules: comments, continuations, separators, literals and names.
#include <gtest/gtest.h>

#include "script/lexer.h"
#include "script_eval.h"

namespace kz::script::test {
namespace {

TEST(Lexing, NumberForms) {
    std::vector<Token> tokens = Tokenize("x = 12 + 3.5 + &H10 + &o17 + 1e2");
    std::vector<std::string> numbers;
    for (const Token& t : tokens)
        if (t.kind == TokenKind::Number) numbers.push_back(ToString(t.number));
    EXPECT_EQ(numbers, (std::vector<std::string>{"12", "3.5", "16", "15", "100"}));
}

}  // namespace
}  // namespace kz::script::test
