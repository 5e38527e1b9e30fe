#pragma once
// The parser's cursor over the tokens, shared by the statement and expression parsers.

#include <string_view>
#include <vector>

#include "script/ast.h"
#include "script/lexer.h"

namespace kz::script {

class Parser {
  public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}
    Program parseProgram();

    ExprPtr parseExpression();

  private:
    // Cursor.
    const Token& cur() const { return tokens_[pos_]; }
    void advance() {
        if (pos_ + 1 < tokens_.size()) ++pos_;
    }
    bool isKeyword(std::string_view word) const;
    bool acceptKeyword(std::string_view word);
    void expectKeyword(std::string_view word, int error);
    bool isSymbol(std::string_view symbol) const;
    bool acceptSymbol(std::string_view symbol);
    void expectSymbol(std::string_view symbol, int error);
    bool atSeparator() const;
    bool atStatementEnd() const;
    std::string expectName();
    [[noreturn]] void fail(int error) const;
    void enter();
    void leave() { --depth_; }

    // Statements.
    void parseTopLevel(Program& program);
    std::shared_ptr<Procedure> parseProcedure();
    Block parseBlock();
    void parseSingleLine(Block& into);
    StmtPtr parseStatement();
    StmtPtr parseDim(StmtKind kind);
    StmtPtr parseConst();
    StmtPtr parseIf();
    StmtPtr parseSelect();
    StmtPtr parseFor();
    StmtPtr parseDo();
    StmtPtr parseWhile();
    StmtPtr parseExit();
    StmtPtr parseOnError();
    StmtPtr parseAssignOrCall(bool isSet, bool isCall);
    void expectStatementEnd();
    StmtPtr make(StmtKind kind) const;

    // Expressions.
    ExprPtr parseBinaryLevel(int level);
    ExprPtr parseNot();
    ExprPtr parseUnary();
    ExprPtr parsePower();
    ExprPtr parsePostfix(bool statementHead);
    ExprPtr parsePrimary();
    void parseArguments(Expr& into);
    ExprPtr make(ExprKind kind) const;
    ExprPtr bounded(ExprPtr expr) const;

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    bool explicit_ = false;
    // Open loops and procedure, for Exit.
    std::vector<ExitKind> loops_;
    int procedure_ = 0;  // 0 none, 1 function, 2 sub
    bool singleLine_ = false;
    std::vector<std::string>* declared_ = nullptr;  // where Dim names are hoisted
};

// Reserved words that cannot name variables.
bool IsReserved(std::string_view lower);

}  // namespace kz::script
