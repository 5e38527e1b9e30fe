#include "script/error.h"
#include "script/parser_state.h"

namespace kz::script {

namespace {

struct BinaryLevel {
    std::string_view symbols[6];
    Op ops[6];
    bool keyword;  // the operators are words
};

// From the loosest binding to the tightest, down to the multiplicative operators.
const BinaryLevel kLevels[] = {
    {{"imp"}, {Op::Imp}, true},
    {{"eqv"}, {Op::Eqv}, true},
    {{"xor"}, {Op::Xor}, true},
    {{"or"}, {Op::Or}, true},
    {{"and"}, {Op::And}, true},
    {},  // Not
    {{"=", "<>", "<", ">", "<=", ">="}, {Op::Eq, Op::Ne, Op::Lt, Op::Gt, Op::Le, Op::Ge}, false},
    {{"&"}, {Op::Concat}, false},
    {{"+", "-"}, {Op::Add, Op::Sub}, false},
    {{"mod"}, {Op::Mod}, true},
    {{"\\"}, {Op::IntDiv}, false},
    {{"*", "/"}, {Op::Mul, Op::Div}, false},
};
constexpr int kNotLevel = 5;
constexpr int kCompareLevel = 6;
constexpr int kLevelCount = int(sizeof kLevels / sizeof kLevels[0]);

}  // namespace

ExprPtr Parser::parseExpression() {
    return parseBinaryLevel(0);
}

ExprPtr Parser::parseBinaryLevel(int level) {
    if (level == kLevelCount) return parseUnary();
    if (level == kNotLevel) return parseNot();
    ExprPtr left = parseBinaryLevel(level + 1);
    const BinaryLevel& ops = kLevels[level];
    for (;;) {
        int found = -1;
        for (int i = 0; i < 6 && !ops.symbols[i].empty(); ++i) {
            if (ops.keyword ? isKeyword(ops.symbols[i]) : isSymbol(ops.symbols[i])) found = i;
        }
        Op op = found >= 0 ? ops.ops[found] : Op::Is;
        if (found < 0 && !(level == kCompareLevel && isKeyword("is"))) return left;
        advance();
        ExprPtr node = make(ExprKind::Binary);
        node->op = op;
        node->left = std::move(left);
        node->right = parseBinaryLevel(level + 1);
        left = bounded(std::move(node));
    }
}

ExprPtr Parser::parseNot() {
    if (!isKeyword("not")) return parseBinaryLevel(kNotLevel + 1);
    enter();
    ExprPtr node = make(ExprKind::Unary);
    advance();
    node->op = Op::Not;
    node->left = parseNot();
    leave();
    return bounded(std::move(node));
}

ExprPtr Parser::parseUnary() {
    if (!isSymbol("-") && !isSymbol("+")) return parsePower();
    enter();
    bool negate = isSymbol("-");
    ExprPtr node = make(ExprKind::Unary);
    advance();
    node->op = Op::Neg;
    node->left = parseUnary();
    leave();
    if (!negate) return std::move(node->left);
    return bounded(std::move(node));
}

ExprPtr Parser::parsePower() {
    ExprPtr left = parsePostfix(false);
    while (acceptSymbol("^")) {
        ExprPtr node = make(ExprKind::Binary);
        node->op = Op::Pow;
        node->left = std::move(left);
        // The exponent may carry its own sign: 2 ^ -1.
        int signs = 0;
        while (isSymbol("-") || isSymbol("+")) {
            if (isSymbol("-")) ++signs;
            advance();
        }
        ExprPtr exponent = parsePostfix(false);
        for (int i = 0; i < signs; ++i) {
            ExprPtr negation = make(ExprKind::Unary);
            negation->op = Op::Neg;
            negation->left = std::move(exponent);
            exponent = bounded(std::move(negation));
        }
        node->right = std::move(exponent);
        left = bounded(std::move(node));
    }
    return left;
}

void Parser::parseArguments(Expr& into) {
    expectSymbol("(", kExpectedLParen);
    into.hasArgs = true;
    if (acceptSymbol(")")) return;
    enter();
    do {
        into.args.push_back(parseExpression());
    } while (acceptSymbol(","));
    expectSymbol(")", kExpectedRParen);
    leave();
}

ExprPtr Parser::parsePostfix(bool statementHead) {
    ExprPtr expr = parsePrimary();
    if (expr->kind != ExprKind::Name) return expr;
    // In a statement "f (x), y" the parenthesis belongs to the first argument.
    if (isSymbol("(") && !(statementHead && cur().spaceBefore)) parseArguments(*expr);
    expr = bounded(std::move(expr));
    for (;;) {
        if (expr->hasArgs && isSymbol("(") && !cur().spaceBefore) {
            ExprPtr index = make(ExprKind::Index);
            index->left = std::move(expr);
            parseArguments(*index);
            expr = bounded(std::move(index));
            continue;
        }
        if (!isSymbol(".")) break;
        advance();
        const Token& t = cur();
        if (t.kind != TokenKind::Name) fail(kExpectedIdentifier);
        ExprPtr member = make(ExprKind::Member);
        member->name = t.lower;
        advance();
        member->left = std::move(expr);
        if (isSymbol("(") && !(statementHead && cur().spaceBefore)) parseArguments(*member);
        expr = bounded(std::move(member));
    }
    return expr;
}

ExprPtr Parser::parsePrimary() {
    const Token& t = cur();
    if (t.kind == TokenKind::Number || t.kind == TokenKind::String) {
        ExprPtr node = make(ExprKind::Literal);
        node->literal = t.kind == TokenKind::Number ? t.number : Value::string(t.text);
        advance();
        return node;
    }
    if (acceptSymbol("(")) {
        enter();
        ExprPtr node = make(ExprKind::Paren);
        node->left = parseExpression();
        expectSymbol(")", kExpectedRParen);
        leave();
        return bounded(std::move(node));
    }
    if (t.kind != TokenKind::Name) fail(kExpectedExpression);
    if (!t.bracketed) {
        ExprPtr node = make(ExprKind::Literal);
        if (t.lower == "true" || t.lower == "false") {
            node->literal = Value::boolean(t.lower == "true");
        } else if (t.lower == "null") {
            node->literal = Value::null();
        } else if (t.lower == "empty") {
            node->literal = Value();
        } else if (t.lower == "nothing") {
            node->kind = ExprKind::Nothing;
        } else if (t.lower == "new") {
            advance();
            node->kind = ExprKind::New;
            node->name = expectName();
            return node;
        } else if (IsReserved(t.lower)) {
            fail(kExpectedExpression);
        } else {
            node->kind = ExprKind::Name;
            node->name = t.lower;
        }
        advance();
        return node;
    }
    ExprPtr node = make(ExprKind::Name);
    node->name = t.lower;
    advance();
    return node;
}

}  // namespace kz::script
