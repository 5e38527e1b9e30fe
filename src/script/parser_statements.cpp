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

StmtPtr Parser::parseIf() {
    StmtPtr stmt = make(StmtKind::If);
    advance();
    stmt->conditions.push_back(parseExpression());
    expectKeyword("then", kExpectedThen);
    if (!atSeparator() || cur().kind == TokenKind::Colon) {
        // Single-line form: statements up to the end of the line, with an optional Else.
        if (cur().kind == TokenKind::Colon) fail(kExpectedStatement);
        bool outer = singleLine_;
        singleLine_ = true;
        enter();
        stmt->blocks.emplace_back();
        parseSingleLine(stmt->blocks.back());
        if (acceptKeyword("else")) {
            stmt->hasElse = true;
            if (!atSeparator()) parseSingleLine(stmt->elseBlock);
        }
        leave();
        singleLine_ = outer;
        return stmt;
    }
    stmt->blocks.push_back(parseBlock());
    while (acceptKeyword("elseif")) {
        stmt->conditions.push_back(parseExpression());
        expectKeyword("then", kExpectedThen);
        stmt->blocks.push_back(parseBlock());
    }
    if (acceptKeyword("else")) {
        stmt->hasElse = true;
        stmt->elseBlock = parseBlock();
    }
    expectKeyword("end", kExpectedEnd);
    expectKeyword("if", kExpectedIf);
    return stmt;
}

StmtPtr Parser::parseSelect() {
    StmtPtr stmt = make(StmtKind::Select);
    advance();
    expectKeyword("case", kExpectedCase);
    stmt->value = parseExpression();
    expectStatementEnd();
    while (atSeparator() && cur().kind != TokenKind::End) advance();
    while (acceptKeyword("case")) {
        if (acceptKeyword("else")) {
            stmt->hasElse = true;
            stmt->elseBlock = parseBlock();
            break;
        }
        CaseClause clause;
        do {
            CaseItem item;
            if (acceptKeyword("is")) {
                static const std::pair<std::string_view, Op> kOps[] = {
                    {"=", Op::Eq}, {"<>", Op::Ne}, {"<", Op::Lt},
                    {">", Op::Gt}, {"<=", Op::Le}, {">=", Op::Ge}};
                bool found = false;
                for (const auto& [symbol, op] : kOps)
                    if (!found && acceptSymbol(symbol)) item.isOp = op, found = true;
                if (!found) fail(kSyntaxError);
                item.value = parseExpression();
            } else {
                item.value = parseExpression();
                if (acceptKeyword("to")) item.upper = parseExpression();
            }
            clause.items.push_back(std::move(item));
        } while (acceptSymbol(","));
        clause.body = parseBlock();
        stmt->cases.push_back(std::move(clause));
    }
    expectKeyword("end", kExpectedEnd);
    expectKeyword("select", kExpectedSelect);
    return stmt;
}

StmtPtr Parser::parseFor() {
    StmtPtr stmt = make(StmtKind::For);
    advance();
    if (acceptKeyword("each")) {
        stmt->kind = StmtKind::ForEach;
        stmt->variable = expectName();
        expectKeyword("in", kExpectedIn);
        stmt->value = parseExpression();
    } else {
        stmt->variable = expectName();
        expectSymbol("=", kExpectedEquals);
        stmt->from = parseExpression();
        expectKeyword("to", kExpectedTo);
        stmt->to = parseExpression();
        if (cur().kind == TokenKind::Name && cur().lower == "step") {
            advance();
            stmt->step = parseExpression();
        }
    }
    expectStatementEnd();
    loops_.push_back(ExitKind::For);
    stmt->body = parseBlock();
    loops_.pop_back();
    expectKeyword("next", kExpectedNext);
    if (cur().kind == TokenKind::Name && !IsReserved(cur().lower)) advance();
    return stmt;
}

StmtPtr Parser::parseDo() {
    StmtPtr stmt = make(StmtKind::Do);
    advance();
    if (isKeyword("while") || isKeyword("until")) {
        stmt->loopTest = isKeyword("while") ? LoopTest::PreWhile : LoopTest::PreUntil;
        advance();
        stmt->condition = parseExpression();
    }
    if (!atSeparator()) fail(kExpectedWhileUntil);
    loops_.push_back(ExitKind::Do);
    stmt->body = parseBlock();
    loops_.pop_back();
    expectKeyword("loop", kExpectedLoop);
    if (isKeyword("while") || isKeyword("until")) {
        if (stmt->condition) fail(kExpectedEndOfStatement);
        stmt->loopTest = isKeyword("while") ? LoopTest::PostWhile : LoopTest::PostUntil;
        advance();
        stmt->condition = parseExpression();
    }
    return stmt;
}

StmtPtr Parser::parseWhile() {
    StmtPtr stmt = make(StmtKind::Do);
    advance();
    stmt->loopTest = LoopTest::PreWhile;
    stmt->condition = parseExpression();
    expectStatementEnd();
    // Exit Do does not leave a While loop.
    loops_.push_back(ExitKind::Sub);
    stmt->body = parseBlock();
    loops_.pop_back();
    expectKeyword("wend", kExpectedWend);
    return stmt;
}

StmtPtr Parser::parseExit() {
    StmtPtr stmt = make(StmtKind::Exit);
    advance();
    bool valid = false;
    if (acceptKeyword("do")) {
        stmt->exitKind = ExitKind::Do;
        for (ExitKind k : loops_) valid = valid || k == ExitKind::Do;
    } else if (acceptKeyword("for")) {
        stmt->exitKind = ExitKind::For;
        for (ExitKind k : loops_) valid = valid || k == ExitKind::For;
    } else if (acceptKeyword("function")) {
        stmt->exitKind = ExitKind::Function;
        valid = procedure_ == 1;
    } else if (acceptKeyword("sub")) {
        stmt->exitKind = ExitKind::Sub;
        valid = procedure_ == 2;
    }
    if (!valid) fail(kInvalidExit);
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
