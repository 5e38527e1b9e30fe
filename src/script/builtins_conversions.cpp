#include <cmath>
#include <cstdio>

#include "script/builtins.h"
#include "script/error.h"

namespace kz::script {

namespace {

using Args = std::vector<Value>;

Value CStr(Args& a) {
    return Value::string(ToString(a[0]));
}

Value CInt(Args& a) {
    return Value::integer(ToInteger(a[0]));
}

Value CLng(Args& a) {
    return Value::longValue(ToLong(a[0]));
}

Value CDbl(Args& a) {
    return Value::real(ToDouble(a[0]));
}

Value CBool(Args& a) {
    if (a[0].isNull()) ThrowRuntime(kInvalidUseOfNull);
    return Value::boolean(ToBoolean(a[0]));
}

// Whole-number functions keep Integer and Long as they are and give Doubles otherwise.
Value KeepType(const Value& v, double (*fn)(double)) {
    if (v.isNull()) return v;
    switch (v.type()) {
        case Type::Empty:
            return Value::integer(0);
        case Type::Integer:
        case Type::Long:
            return v;
        case Type::Boolean:
            return Value::integer(int16_t(v.intPart()));
        case Type::Date:
            return Value::date(fn(v.doublePart()));
        default:
            return Value::real(fn(ToDouble(v)));
    }
}

Value Int(Args& a) {
    return KeepType(a[0], [](double d) { return std::floor(d); });
}

Value Fix(Args& a) {
    return KeepType(a[0], [](double d) { return std::trunc(d); });
}

Value Round(Args& a) {
    if (a[0].isNull()) return a[0];
    int32_t places = Given(a, 1) ? ToLong(a[1]) : 0;
    if (places < 0) ThrowRuntime(kInvalidCall);
    if (places == 0) return KeepType(a[0], RoundEven);
    if (a[0].type() == Type::Integer || a[0].type() == Type::Long) return a[0];
    double scale = std::pow(10.0, std::min(places, 15));
    double d = ToDouble(a[0]);
    return Value::real(RoundEven(d * scale) / scale);
}

Value Abs(Args& a) {
    const Value& v = a[0];
    if (v.isNull()) return v;
    if (v.isEmpty()) return Value::integer(0);
    if (v.type() == Type::Integer || v.type() == Type::Boolean)
        return Value::number(std::fabs(double(v.intPart())));
    if (v.type() == Type::Long) {
        double d = std::fabs(double(v.intPart()));
        return d > 2147483647.0 ? Value::real(d) : Value::longValue(int32_t(d));
    }
    return Value::real(std::fabs(ToDouble(v)));
}

Value Sgn(Args& a) {
    if (a[0].isNull()) ThrowRuntime(kInvalidUseOfNull);
    double d = ToDouble(a[0]);
    return Value::integer(int16_t(d > 0 ? 1 : (d < 0 ? -1 : 0)));
}

Value Hex(Args& a) {
    const Value& v = a[0];
    if (v.isNull()) return v;
    int32_t n = ToLong(v);
    bool small = (v.type() == Type::Integer || v.type() == Type::Boolean) ||
                 (v.type() != Type::Long && n >= -32768 && n < 0);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X",
                  small && n < 0 ? unsigned(n) & 0xFFFFu : unsigned(n));
    return Value::string(buffer);
}

const Builtin kConversions[] = {
    {"cstr", 1, 1, CStr},   {"cint", 1, 1, CInt}, {"clng", 1, 1, CLng}, {"cdbl", 1, 1, CDbl},
    {"cbool", 1, 1, CBool}, {"int", 1, 1, Int},   {"fix", 1, 1, Fix},   {"round", 1, 2, Round},
    {"abs", 1, 1, Abs},     {"sgn", 1, 1, Sgn},   {"hex", 1, 1, Hex},
};

}  // namespace

std::span<const Builtin> ConversionBuiltins() {
    return kConversions;
}

}  // namespace kz::script
