#pragma once
// Splits script text into tokens: names without regard to case, comments, line
// continuations, string literals with doubled quotes, decimal and &H numbers.

#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace kz::script {

enum class TokenKind {
    End,
    Newline,
    Colon,
    Name,
    Number,
    String,
    Symbol,  // operators and punctuation, text holds the symbol
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;   // the name as written, the symbol, or the string's contents
    std::string lower;  // names in lower case, the key of every lookup
    Value number;
    bool bracketed = false;    // [name]: never a keyword
    bool spaceBefore = false;  // "f (x)" against "f(x)"
    int line = 1;
};

// Throws ScriptException (isSyntax) for invalid characters and open strings.
std::vector<Token> Tokenize(std::string_view source);

}  // namespace kz::script
