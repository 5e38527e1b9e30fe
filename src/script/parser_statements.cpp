#include "script/error.h"
#include "script/parser_state.h"

namespace kz::script {

namespace {

// Words that close the block being parsed; its owner checks which one it expects.
bool ClosesBlock(const Token& t) {
    if (t.kind != TokenKind::Name || t.bracketed) return false;
    return t.lower == "end" || t.lower == "else" || t.lower == "elseif" || t.lower == "next" ||
           t.lower == "loop" || t.lower == "wend" || t.lower == "case";
}

}  // namespace

Program Parser::parseProgram() {
    Program program;
    declared_ = &program.globals;
    for (;;) {
        while (cur().kind == TokenKind::Newline || cur().kind == TokenKind::Colon) advance();
        if (cur().kind == TokenKind::End) break;
        parseTopLevel(program);
    }
    program.optionExplicit = explicit_;
    return program;
}

void Parser::parseTopLevel(Program& program) {
    std::size_t start = pos_;
    bool scoped = acceptKeyword("public") || acceptKeyword("private");
    if (isKeyword("function") || isKeyword("sub")) {
        program.procedures.push_back(parseProcedure());
    } else if (scoped) {
        pos_ = start;
        program.statements.push_back(parseDim(StmtKind::Dim));
    } else if (ClosesBlock(cur())) {
        fail(kExpectedStatement);
    } else {
        StmtPtr stmt = parseStatement();
        if (stmt) program.statements.push_back(std::move(stmt));
    }
    expectStatementEnd();
}

std::shared_ptr<Procedure> Parser::parseProcedure() {
    auto proc = std::make_shared<Procedure>();
    proc->isFunction = isKeyword("function");
    advance();
    proc->name = expectName();
    if (acceptSymbol("(")) {
        while (!isSymbol(")")) {
            Parameter param;
            if (acceptKeyword("byval"))
                param.byVal = true;
            else
                acceptKeyword("byref");
            param.name = expectName();
            if (acceptSymbol("(")) expectSymbol(")", kExpectedRParen);
            for (const Parameter& other : proc->params)
                if (other.name == param.name) fail(kNameRedefined);
            proc->params.push_back(std::move(param));
            if (!acceptSymbol(",")) break;
        }
        expectSymbol(")", kExpectedRParen);
    }
    procedure_ = proc->isFunction ? 1 : 2;
    std::vector<ExitKind> outerLoops;
    outerLoops.swap(loops_);
    std::vector<std::string>* outerDeclared = declared_;
    declared_ = &proc->locals;
    proc->body = parseBlock();
    declared_ = outerDeclared;
    loops_.swap(outerLoops);
    procedure_ = 0;
    expectKeyword("end", kExpectedEnd);
    expectKeyword(proc->isFunction ? "function" : "sub",
                  proc->isFunction ? kExpectedFunction : kExpectedSub);
    return proc;
}

void Parser::expectStatementEnd() {
    if (!atSeparator()) fail(kExpectedEndOfStatement);
}

Block Parser::parseBlock() {
    enter();
    Block block;
    bool outerSingle = singleLine_;
    singleLine_ = false;
    for (;;) {
        while (cur().kind == TokenKind::Newline || cur().kind == TokenKind::Colon) advance();
        if (cur().kind == TokenKind::End || ClosesBlock(cur())) break;
        StmtPtr stmt = parseStatement();
        if (stmt) block.push_back(std::move(stmt));
        expectStatementEnd();
    }
    singleLine_ = outerSingle;
    leave();
    return block;
}

void Parser::parseSingleLine(Block& into) {
    for (;;) {
        StmtPtr stmt = parseStatement();
        if (stmt) into.push_back(std::move(stmt));
        if (cur().kind != TokenKind::Colon) break;
        advance();
        if (cur().kind == TokenKind::Newline || cur().kind == TokenKind::End || isKeyword("else"))
            break;
    }
}

StmtPtr Parser::parseStatement() {
    const Token& t = cur();
    if (t.kind != TokenKind::Name) fail(kExpectedStatement);
    if (t.bracketed) return parseAssignOrCall(false, false);
    const std::string& w = t.lower;
    if (w == "dim" || w == "public" || w == "private") return parseDim(StmtKind::Dim);
    if (w == "redim") return parseDim(StmtKind::ReDim);
    if (w == "const") return parseConst();
    if (w == "if") return parseIf();
    if (w == "select") return parseSelect();
    if (w == "for") return parseFor();
    if (w == "do") return parseDo();
    if (w == "while") return parseWhile();
    if (w == "exit") return parseExit();
    if (w == "on") return parseOnError();
    if (w == "set") {
        advance();
        return parseAssignOrCall(true, false);
    }
    if (w == "call") {
        advance();
        return parseAssignOrCall(false, true);
    }
    if (w == "stop") {
        advance();
        return nullptr;
    }
    if (w == "erase") {
        StmtPtr stmt = make(StmtKind::Erase);
        advance();
        stmt->variable = expectName();
        return stmt;
    }
    if (w == "option") {
        // Option Explicit belongs to the whole script, never to a procedure's body.
        if (procedure_ != 0) fail(kSyntaxError);
        StmtPtr stmt = make(StmtKind::OptionExplicit);
        advance();
        if (!(cur().kind == TokenKind::Name && cur().lower == "explicit")) fail(kSyntaxError);
        advance();
        explicit_ = true;
        return stmt;
    }
    if (IsReserved(w)) fail(w == "function" || w == "sub" ? kSyntaxError : kExpectedStatement);
    return parseAssignOrCall(false, false);
}

StmtPtr Parser::parseAssignOrCall(bool isSet, bool isCall) {
    StmtPtr stmt = make(isSet ? StmtKind::Set : StmtKind::Assign);
    if (cur().kind != TokenKind::Name) fail(kExpectedIdentifier);
    ExprPtr target = parsePostfix(!isCall);
    if (target->kind != ExprKind::Name && target->kind != ExprKind::Member &&
        target->kind != ExprKind::Index)
        fail(kExpectedStatement);
    if (!isCall && acceptSymbol("=")) {
        stmt->target = std::move(target);
        stmt->value = parseExpression();
        return stmt;
    }
    if (isSet) fail(kExpectedEquals);
    stmt->kind = StmtKind::Call;
    if (isCall) {
        stmt->target = std::move(target);
        return stmt;
    }
    if (target->hasArgs) {
        // "f(x)" as a statement passes x by value; "f(x, y)" needs Call.
        if (target->args.size() > 1) fail(kParenthesesOnSubCall);
        if (!atStatementEnd()) fail(kExpectedEndOfStatement);
        for (ExprPtr& arg : target->args) {
            ExprPtr paren = make(ExprKind::Paren);
            paren->left = std::move(arg);
            arg = bounded(std::move(paren));
        }
    } else if (!atStatementEnd()) {
        target->hasArgs = true;
        do {
            target->args.push_back(parseExpression());
        } while (acceptSymbol(","));
    }
    stmt->target = std::move(target);
    return stmt;
}

StmtPtr Parser::parseDim(StmtKind kind) {
    StmtPtr stmt = make(kind);
    advance();
    if (kind == StmtKind::ReDim) stmt->preserve = acceptKeyword("preserve");
    do {
        DimItem item;
        item.name = expectName();
        if (acceptSymbol("(")) {
            item.hasBounds = true;
            if (!isSymbol(")")) {
                do {
                    if (kind == StmtKind::Dim && cur().kind != TokenKind::Number)
                        fail(kExpectedInteger);
                    item.bounds.push_back(parseExpression());
                } while (acceptSymbol(","));
            }
            expectSymbol(")", kExpectedRParen);
        }
        if (kind == StmtKind::ReDim && item.bounds.empty()) fail(kExpectedLParen);
        if (kind == StmtKind::Dim && declared_) declared_->push_back(item.name);
        stmt->dims.push_back(std::move(item));
    } while (acceptSymbol(","));
    return stmt;
}

StmtPtr Parser::parseConst() {
    StmtPtr stmt = make(StmtKind::Const);
    advance();
    do {
        ConstItem item;
        item.name = expectName();
        expectSymbol("=", kExpectedEquals);
        item.value = parseExpression();
        const Expr* e = item.value.get();
        while (e->kind == ExprKind::Unary && e->op == Op::Neg) e = e->left.get();
        while (e->kind == ExprKind::Paren) e = e->left.get();
        if (e->kind != ExprKind::Literal) fail(kExpectedLiteral);
        stmt->consts.push_back(std::move(item));
    } while (acceptSymbol(","));
    return stmt;
}

StmtPtr Parser::parseOnError() {
    StmtPtr stmt = make(StmtKind::OnErrorResume);
    advance();
    if (!(cur().kind == TokenKind::Name && cur().lower == "error")) fail(kSyntaxError);
    advance();
    if (cur().kind == TokenKind::Name && cur().lower == "resume") {
        advance();
        expectKeyword("next", kSyntaxError);
        return stmt;
    }
    expectKeyword("goto", kSyntaxError);
    if (cur().kind != TokenKind::Number || ToDouble(cur().number) != 0) fail(kSyntaxError);
    advance();
    stmt->kind = StmtKind::OnErrorGoto0;
    return stmt;
}

}  // namespace kz::script
