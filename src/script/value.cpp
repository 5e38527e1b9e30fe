#include "script/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "base/ascii.h"
#include "script/date_time.h"
#include "script/error.h"
#include "script/object.h"

namespace kz::script {

Value Value::null() {
    Value v;
    v.type_ = Type::Null;
    return v;
}

Value Value::boolean(bool b) {
    Value v;
    v.type_ = Type::Boolean;
    v.int_ = b ? -1 : 0;
    return v;
}

Value Value::integer(int16_t i) {
    Value v;
    v.type_ = Type::Integer;
    v.int_ = i;
    return v;
}

Value Value::longValue(int32_t i) {
    Value v;
    v.type_ = Type::Long;
    v.int_ = i;
    return v;
}

Value Value::real(double d) {
    if (!std::isfinite(d)) ThrowRuntime(kOverflow);
    Value v;
    v.type_ = Type::Double;
    v.double_ = d;
    return v;
}

Value Value::date(double d) {
    Value v = real(d);
    v.type_ = Type::Date;
    return v;
}

Value Value::string(std::string s) {
    Value v;
    v.type_ = Type::String;
    v.string_ = std::move(s);
    return v;
}

Value Value::object(std::shared_ptr<Object> o) {
    Value v;
    v.type_ = Type::Object;
    v.object_ = std::move(o);
    return v;
}

Value Value::array(std::shared_ptr<ArrayData> a) {
    Value v;
    v.type_ = Type::Array;
    v.array_ = std::move(a);
    return v;
}

Value Value::number(double d) {
    if (d == std::floor(d) && d >= -32768 && d <= 32767) return integer(int16_t(d));
    if (d == std::floor(d) && d >= std::numeric_limits<int32_t>::min() &&
        d <= std::numeric_limits<int32_t>::max())
        return longValue(int32_t(d));
    return real(d);
}

bool Value::isNumeric() const {
    switch (type_) {
        case Type::Empty:
        case Type::Integer:
        case Type::Long:
        case Type::Double:
        case Type::Date:
        case Type::Boolean:
            return true;
        default:
            return false;
    }
}

Value Value::copy() const {
    if (type_ != Type::Array || !array_) return *this;
    return array(std::make_shared<ArrayData>(*array_));
}

namespace {

Value DefaultOf(const Value& v) {
    if (!v.objectPart()) ThrowRuntime(kTypeMismatch);
    std::vector<Value> none;
    Value inner = v.objectPart()->callDefault(none);
    if (inner.isObject()) ThrowRuntime(kTypeMismatch);
    return inner;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool ParseRadix(std::string_view digits, int radix, double& out) {
    if (digits.empty() || digits.size() > 11) return false;
    uint64_t n = 0;
    for (char c : digits) {
        int d =
            std::isdigit(static_cast<unsigned char>(c))
                ? c - '0'
                : (std::isxdigit(static_cast<unsigned char>(c)) ? toLowerAscii(c) - 'a' + 10 : 99);
        if (d >= radix) return false;
        n = n * uint64_t(radix) + uint64_t(d);
    }
    if (n > 0xFFFFFFFFull) return false;
    // Four hex digits make an Integer, eight a Long, both in two's complement.
    if (radix == 16 && digits.size() <= 4 && n > 0x7FFF)
        n -= 0x10000;
    else if (n > 0x7FFFFFFF)
        n -= 0x100000000ull;
    out = double(int64_t(n));
    return true;
}

}  // namespace

bool ParseNumber(std::string_view text, double& out) {
    text = TrimBlanks(text);
    if (text.size() > 2 && text[0] == '&') {
        char kind = toLowerAscii(text[1]);
        if (kind == 'h') return ParseRadix(text.substr(2), 16, out);
        if (kind == 'o') return ParseRadix(text.substr(2), 8, out);
        return false;
    }
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != text.size()) return false;
    std::string copy(text);
    out = std::strtod(copy.c_str(), nullptr);
    return std::isfinite(out);
}

double RoundEven(double d) {
    return std::nearbyint(d);  // the default rounding mode is to nearest, ties to even
}

double ToDouble(const Value& v) {
    switch (v.type()) {
        case Type::Empty:
            return 0;
        case Type::Null:
            ThrowRuntime(kInvalidUseOfNull);
        case Type::Integer:
        case Type::Long:
        case Type::Boolean:
            return v.intPart();
        case Type::Double:
        case Type::Date:
            return v.doublePart();
        case Type::String: {
            double d = 0;
            if (!ParseNumber(v.stringPart(), d)) ThrowRuntime(kTypeMismatch);
            return d;
        }
        case Type::Object:
            return ToDouble(DefaultOf(v));
        default:
            ThrowRuntime(kTypeMismatch);
    }
}

int32_t ToLong(const Value& v) {
    if (v.type() == Type::Integer || v.type() == Type::Long || v.type() == Type::Boolean)
        return v.intPart();
    double d = RoundEven(ToDouble(v));
    if (d < -2147483648.0 || d > 2147483647.0) ThrowRuntime(kOverflow);
    return int32_t(d);
}

int16_t ToInteger(const Value& v) {
    int32_t l = ToLong(v);
    if (l < -32768 || l > 32767) ThrowRuntime(kOverflow);
    return int16_t(l);
}

bool ToBoolean(const Value& v) {
    switch (v.type()) {
        case Type::Boolean:
            return v.intPart() != 0;
        case Type::String: {
            std::string_view text = TrimBlanks(v.stringPart());
            if (equalsIgnoreCase(text, "true")) return true;
            if (equalsIgnoreCase(text, "false")) return false;
            return ToDouble(v) != 0;
        }
        case Type::Object:
            return ToBoolean(DefaultOf(v));
        default:
            return ToDouble(v) != 0;
    }
}

std::string FormatDouble(double d) {
    if (d == std::floor(d) && std::fabs(d) < 1e15) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.0f", d);
        return buffer[0] == '-' && buffer[1] == '0' && buffer[2] == 0 ? "0" : buffer;
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", d);
    return buffer;
}

std::string ToString(const Value& v) {
    switch (v.type()) {
        case Type::Empty:
            return {};
        case Type::Null:
            ThrowRuntime(kInvalidUseOfNull);
        case Type::Boolean:
            return v.intPart() ? "True" : "False";
        case Type::Integer:
        case Type::Long:
            return std::to_string(v.intPart());
        case Type::Double:
            return FormatDouble(v.doublePart());
        case Type::Date:
            return FormatDate(v.doublePart());
        case Type::String:
            return v.stringPart();
        case Type::Object:
            return ToString(DefaultOf(v));
        default:
            ThrowRuntime(kTypeMismatch);
    }
}

}  // namespace kz::script
