#include "script/operators.h"

#include <cctype>
#include <cmath>

#include "base/ascii.h"
#include "script/error.h"
#include "script/object.h"

namespace kz::script {

namespace {

// Ranks of the numeric result: Integer (also Boolean and Empty), Long, Double.
enum Rank { kInteger = 0, kLong = 1, kDouble = 2 };

Value Plain(const Value& v) {
    if (!v.isObject()) return v;
    if (!v.objectPart()) ThrowRuntime(kObjectRequired);
    std::vector<Value> none;
    return v.objectPart()->callDefault(none);
}

Rank RankOf(const Value& v) {
    switch (v.type()) {
        case Type::Empty:
        case Type::Integer:
        case Type::Boolean:
            return kInteger;
        case Type::Long:
            return kLong;
        case Type::Double:
        case Type::Date:
        case Type::String:
            return kDouble;
        default:
            ThrowRuntime(kTypeMismatch);
    }
}

Value Ranked(double d, Rank rank) {
    if (rank <= kInteger && d >= -32768 && d <= 32767) return Value::integer(int16_t(d));
    if (rank <= kLong && d >= -2147483648.0 && d <= 2147483647.0)
        return Value::longValue(int32_t(d));
    return Value::real(d);
}

double Checked(double d) {
    if (!std::isfinite(d)) ThrowRuntime(kOverflow);
    return d;
}

Value IntegerDivision(Op op, const Value& a, const Value& b) {
    Rank rank = std::max(RankOf(a), RankOf(b)) == kInteger ? kInteger : kLong;
    int64_t x = ToLong(a), y = ToLong(b);
    if (y == 0) ThrowRuntime(kDivisionByZero);
    int64_t r = op == Op::IntDiv ? x / y : x % y;
    if (r > 2147483647) ThrowRuntime(kOverflow);
    return Ranked(double(r), rank);
}

// Logical operands: Booleans stay Booleans, everything else becomes its whole number.
int32_t Bits(const Value& v) {
    if (v.isString()) return ToBoolean(v) ? -1 : 0;
    return ToLong(v);
}

}  // namespace

Value Arithmetic(Op op, const Value& left, const Value& right) {
    Value a = Plain(left), b = Plain(right);
    if (a.isNull() || b.isNull()) return Value::null();
    if (op == Op::Add) {
        if (a.isString() && (b.isString() || b.isEmpty()))
            return Value::string(a.stringPart() + b.stringPart());
        if (b.isString() && a.isEmpty()) return b;
    }
    if (op == Op::IntDiv || op == Op::Mod) return IntegerDivision(op, a, b);
    double x = ToDouble(a), y = ToDouble(b);
    switch (op) {
        case Op::Div:
            if (y == 0) ThrowRuntime(x == 0 ? kOverflow : kDivisionByZero);
            return Value::real(Checked(x / y));
        case Op::Pow:
            if (x == 0 && y < 0) ThrowRuntime(kInvalidCall);
            if (x < 0 && y != std::floor(y)) ThrowRuntime(kInvalidCall);
            return Value::real(Checked(std::pow(x, y)));
        default:
            break;
    }
    double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
    Checked(r);
    if ((a.type() == Type::Date || b.type() == Type::Date) && op != Op::Mul) return Value::date(r);
    return Ranked(r, std::max(RankOf(a), RankOf(b)));
}

Value Concatenate(const Value& left, const Value& right) {
    Value a = Plain(left), b = Plain(right);
    if (a.isNull() && b.isNull()) return Value::null();
    return Value::string((a.isNull() ? std::string() : ToString(a)) +
                         (b.isNull() ? std::string() : ToString(b)));
}

Value Logical(Op op, const Value& left, const Value& right) {
    Value a = Plain(left), b = Plain(right);
    if (a.isNull() || b.isNull()) {
        const Value& other = a.isNull() ? b : a;
        bool otherNull = other.isNull();
        if (op == Op::And && !otherNull && Bits(other) == 0) return other;
        if (op == Op::Or && !otherNull && Bits(other) == -1) return other;
        if (op == Op::Imp && !otherNull) {
            if (a.isNull() && Bits(b) == -1) return b;
            if (b.isNull() && Bits(a) == 0) return Value::boolean(true);
        }
        return Value::null();
    }
    int32_t x = Bits(a), y = Bits(b), r = 0;
    switch (op) {
        case Op::And:
            r = x & y;
            break;
        case Op::Or:
            r = x | y;
            break;
        case Op::Xor:
            r = x ^ y;
            break;
        case Op::Eqv:
            r = ~(x ^ y);
            break;
        default:
            r = ~x | y;
            break;
    }
    if (a.type() == Type::Boolean && b.type() == Type::Boolean) return Value::boolean(r != 0);
    bool small = (a.type() == Type::Integer || a.type() == Type::Boolean || a.isEmpty()) &&
                 (b.type() == Type::Integer || b.type() == Type::Boolean || b.isEmpty());
    return Ranked(r, small ? kInteger : kLong);
}

Value Negate(const Value& operand) {
    Value a = Plain(operand);
    switch (a.type()) {
        case Type::Null:
            return a;
        case Type::Empty:
            return Value::integer(0);
        case Type::Integer:
        case Type::Boolean:
            return Ranked(-double(a.intPart()), kInteger);
        case Type::Long:
            return Ranked(-double(a.intPart()), kLong);
        case Type::Date:
            return Value::date(-a.doublePart());
        default:
            return Value::real(-ToDouble(a));
    }
}

Value LogicalNot(const Value& operand) {
    Value a = Plain(operand);
    if (a.isNull()) return a;
    if (a.type() == Type::Boolean) return Value::boolean(a.intPart() == 0);
    int32_t r = ~Bits(a);
    bool small = a.type() == Type::Integer || a.isEmpty();
    return Ranked(r, small ? kInteger : kLong);
}

int CompareText(std::string_view a, std::string_view b, bool textCompare) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        char p = textCompare ? toLowerAscii(a[i]) : a[i];
        char q = textCompare ? toLowerAscii(b[i]) : b[i];
        int x = static_cast<unsigned char>(p), y = static_cast<unsigned char>(q);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareOrder(const Value& left, const Value& right, bool textCompare, Literal aLiteral,
                 Literal bLiteral) {
    Value a = Plain(left), b = Plain(right);
    if (a.isNull() || b.isNull()) ThrowRuntime(kInvalidUseOfNull);
    if (a.isArray() || b.isArray()) ThrowRuntime(kTypeMismatch);
    bool aText = a.isString(), bText = b.isString();
    bool numeric = !aText && !bText;
    if (aText != bText) {
        const Value& number = aText ? b : a;
        Literal textSide = aText ? aLiteral : bLiteral;
        Literal numberSide = aText ? bLiteral : aLiteral;
        if (number.isEmpty())
            numeric = false;
        else if (numberSide == Literal::Number)
            numeric = true;
        else if (textSide == Literal::Text)
            numeric = false;
        else
            return aText ? 1 : -1;  // a number is less than any string
    }
    if (numeric) {
        double x = ToDouble(a), y = ToDouble(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return CompareText(ToString(a), ToString(b), textCompare);
}

Value Compare(Op op, const Value& a, const Value& b, Literal aLiteral, Literal bLiteral) {
    if (Plain(a).isNull() || Plain(b).isNull()) return Value::null();
    int c = CompareOrder(a, b, false, aLiteral, bLiteral);
    switch (op) {
        case Op::Eq:
            return Value::boolean(c == 0);
        case Op::Ne:
            return Value::boolean(c != 0);
        case Op::Lt:
            return Value::boolean(c < 0);
        case Op::Le:
            return Value::boolean(c <= 0);
        case Op::Gt:
            return Value::boolean(c > 0);
        default:
            return Value::boolean(c >= 0);
    }
}

}  // namespace kz::script
