#include <algorithm>
#include <array>

#include "script/error.h"
#include "script/parser.h"
#include "script/parser_state.h"

namespace kz::script {

namespace {

// Deep enough for any script a person writes, shallow enough for a thread's stack.
constexpr int kMaxNesting = 64;
// Operator chains are built in loops but evaluated recursively.
constexpr int kMaxExpressionDepth = 200;

constexpr std::array<std::string_view, 50> kReserved = {
    "and",    "byref",    "byval",   "call",  "case", "class",  "const", "dim",      "do",
    "each",   "else",     "elseif",  "empty", "end",  "eqv",    "erase", "exit",     "false",
    "for",    "function", "if",      "imp",   "in",   "is",     "loop",  "mod",      "new",
    "next",   "not",      "nothing", "null",  "on",   "option", "or",    "preserve", "private",
    "public", "redim",    "select",  "set",   "sub",  "then",   "to",    "true",     "until",
    "wend",   "while",    "with",    "xor",   "goto"};

}  // namespace

bool IsReserved(std::string_view lower) {
    return std::find(kReserved.begin(), kReserved.end(), lower) != kReserved.end();
}

bool Parser::isKeyword(std::string_view word) const {
    const Token& t = cur();
    return t.kind == TokenKind::Name && !t.bracketed && t.lower == word;
}

bool Parser::acceptKeyword(std::string_view word) {
    if (!isKeyword(word)) return false;
    advance();
    return true;
}

void Parser::expectKeyword(std::string_view word, int error) {
    if (!acceptKeyword(word)) fail(error);
}

bool Parser::isSymbol(std::string_view symbol) const {
    return cur().kind == TokenKind::Symbol && cur().text == symbol;
}

bool Parser::acceptSymbol(std::string_view symbol) {
    if (!isSymbol(symbol)) return false;
    advance();
    return true;
}

void Parser::expectSymbol(std::string_view symbol, int error) {
    if (!acceptSymbol(symbol)) fail(error);
}

bool Parser::atSeparator() const {
    return cur().kind == TokenKind::Newline || cur().kind == TokenKind::Colon ||
           cur().kind == TokenKind::End;
}

bool Parser::atStatementEnd() const {
    return atSeparator() || (singleLine_ && isKeyword("else"));
}

std::string Parser::expectName() {
    const Token& t = cur();
    if (t.kind != TokenKind::Name || (!t.bracketed && IsReserved(t.lower)))
        fail(kExpectedIdentifier);
    std::string name = t.lower;
    advance();
    return name;
}

void Parser::fail(int error) const {
    throw ScriptException(error, ErrorText(error), cur().line, true);
}

void Parser::enter() {
    if (++depth_ > kMaxNesting) {
        throw ScriptException(kOutOfStack, ErrorText(kOutOfStack), cur().line, true);
    }
}

StmtPtr Parser::make(StmtKind kind) const {
    auto stmt = std::make_unique<Stmt>();
    stmt->kind = kind;
    stmt->line = cur().line;
    return stmt;
}

ExprPtr Parser::make(ExprKind kind) const {
    auto expr = std::make_unique<Expr>();
    expr->kind = kind;
    expr->line = cur().line;
    return expr;
}

ExprPtr Parser::bounded(ExprPtr expr) const {
    int depth = 0;
    if (expr->left) depth = expr->left->depth;
    if (expr->right) depth = std::max(depth, expr->right->depth);
    for (const ExprPtr& arg : expr->args) depth = std::max(depth, arg->depth);
    expr->depth = depth + 1;
    if (expr->depth > kMaxExpressionDepth)
        throw ScriptException(kOutOfStack, ErrorText(kOutOfStack), cur().line, true);
    return expr;
}

Program Parse(std::string_view source) {
    return Parser(Tokenize(source)).parseProgram();
}

}  // namespace kz::script
