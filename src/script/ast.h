#pragma once
// The parsed script: expressions, statements and procedures.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/operators.h"
#include "script/value.h"

namespace kz::script {

struct Expr;
struct Stmt;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

enum class ExprKind {
    Literal,  // literal
    Name,     // name, with args when hasArgs: variable, array element or call
    Member,   // object.name, with args when hasArgs
    Unary,    // op operand(left)
    Binary,   // left op right
    Paren,    // (left): passes by value
    Index,    // left(args): an element or the default member of a call's result
    New,      // New name
    Nothing,
};

struct Expr {
    ExprKind kind = ExprKind::Literal;
    int line = 0;
    Value literal;
    std::string name;  // lower case
    bool hasArgs = false;
    std::vector<ExprPtr> args;
    ExprPtr left;  // Member: the object; Unary/Paren: the operand
    ExprPtr right;
    Op op = Op::Add;
    int depth = 1;  // height of the tree below, bounded by the parser
};

enum class StmtKind {
    Dim,      // dims
    ReDim,    // dims, preserve
    Const,    // consts
    Assign,   // target = value
    Set,      // Set target = value
    Call,     // target (a Name or Member expression with its arguments)
    If,       // conditions[i] -> blocks[i], elseBlock
    Select,   // value, cases, elseBlock
    For,      // variable, from, to, step, body
    ForEach,  // variable, value, body
    Do,       // condition (may be null), loopTest, body
    Exit,     // exitKind
    OnErrorResume,
    OnErrorGoto0,
    Erase,  // variable
    OptionExplicit,
};

enum class LoopTest { None, PreWhile, PreUntil, PostWhile, PostUntil };
enum class ExitKind { Do, For, Function, Sub };

struct DimItem {
    std::string name;
    std::vector<ExprPtr> bounds;  // empty: a plain variable; hasBounds with none: a()
    bool hasBounds = false;
};

struct ConstItem {
    std::string name;
    ExprPtr value;
};

struct CaseItem {
    ExprPtr value;
    ExprPtr upper;     // "value To upper"
    Op isOp = Op::Eq;  // "Is op value"
};

struct CaseClause {
    std::vector<CaseItem> items;
    Block body;
};

struct Stmt {
    StmtKind kind = StmtKind::Call;
    int line = 0;
    std::vector<DimItem> dims;
    bool preserve = false;
    std::vector<ConstItem> consts;
    ExprPtr target, value, from, to, step, condition;
    std::string variable;
    std::vector<ExprPtr> conditions;
    std::vector<Block> blocks;
    std::vector<CaseClause> cases;
    Block body, elseBlock;
    bool hasElse = false;
    LoopTest loopTest = LoopTest::None;
    bool whileWend = false;  // a While loop, which Exit Do passes through
    ExitKind exitKind = ExitKind::Do;
};

struct Parameter {
    std::string name;
    bool byVal = false;
};

struct Procedure {
    std::string name;  // lower case
    bool isFunction = false;
    std::vector<Parameter> params;
    std::vector<std::string> locals;  // names of its Dim statements, declared on entry
    Block body;
};

struct Program {
    Block statements;
    std::vector<std::shared_ptr<Procedure>> procedures;
    std::vector<std::string> globals;  // names of the top-level Dim statements
    bool optionExplicit = false;
};

}  // namespace kz::script
