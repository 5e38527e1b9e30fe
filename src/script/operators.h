#pragma once
// VBScript's operators over Variants: promotion of Integer to Long to Double, Null
// propagation, string and numeric comparison.

#include "script/value.h"

namespace kz::script {

enum class Op {
    Add,
    Sub,
    Mul,
    Div,
    IntDiv,
    Mod,
    Pow,
    Concat,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Is,
    And,
    Or,
    Xor,
    Eqv,
    Imp,
    Neg,
    Not,
};

Value Arithmetic(Op op, const Value& a, const Value& b);
Value Concatenate(const Value& a, const Value& b);
Value Logical(Op op, const Value& a, const Value& b);
Value Negate(const Value& a);
Value LogicalNot(const Value& a);

// The side of a comparison that is a literal in the script: a number literal makes a
// string on the other side compare as a number, a string literal makes a number compare
// as text. Between two variables a number is less than any string.
enum class Literal { None, Number, Text };
// Eq .. Ge; Null when either side is Null.
Value Compare(Op op, const Value& a, const Value& b, Literal aLiteral = Literal::None,
              Literal bLiteral = Literal::None);
// -1, 0 or 1; textCompare ignores letter case. Null compares as an error (94).
int CompareOrder(const Value& a, const Value& b, bool textCompare = false,
                 Literal aLiteral = Literal::None, Literal bLiteral = Literal::None);
int CompareText(std::string_view a, std::string_view b, bool textCompare);

}  // namespace kz::script
