// The parser of the control statements: If, Select Case, For, Do, While and Exit.
#include "script/error.h"
#include "script/parser_state.h"

namespace kz::script {

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
    stmt->whileWend = true;
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

}  // namespace kz::script
