#include "script/arrays.h"
#include "script/builtins.h"
#include "script/error.h"
#include "script/object.h"

namespace kz::script {

namespace {

using Args = std::vector<Value>;

Value IsNumeric(Args& a) {
    const Value& v = a[0];
    if (v.isString()) {
        double d = 0;
        return Value::boolean(ParseNumber(v.stringPart(), d));
    }
    return Value::boolean(v.isNumeric() && v.type() != Type::Date);
}

std::string_view NameOf(const Value& v) {
    switch (v.type()) {
        case Type::Empty:
            return "Empty";
        case Type::Null:
            return "Null";
        case Type::Integer:
            return "Integer";
        case Type::Long:
            return "Long";
        case Type::Double:
            return "Double";
        case Type::Date:
            return "Date";
        case Type::String:
            return "String";
        case Type::Boolean:
            return "Boolean";
        case Type::Array:
            return "Variant()";
        case Type::Object:
            return v.objectPart() ? v.objectPart()->typeName() : "Nothing";
    }
    return "Unknown";
}

Value TypeName(Args& a) {
    return Value::string(std::string(NameOf(a[0])));
}

Value VarType(Args& a) {
    return Value::integer(int16_t(int(a[0].type())));
}

Value ArrayFn(Args& a) {
    std::vector<Value> items;
    for (Value& v : a) items.push_back(v.copy());
    return ArrayOf(std::move(items));
}

const ArrayData& ArrayArgument(const Args& a) {
    if (!a[0].isArray()) ThrowRuntime(kTypeMismatch);
    return *a[0].arrayPart();
}

std::size_t Dimension(const Args& a, const ArrayData& array) {
    int32_t d = Given(a, 1) ? ToLong(a[1]) : 1;
    if (d < 1 || std::size_t(d) > array.upper.size()) ThrowRuntime(kSubscriptOutOfRange);
    return std::size_t(d - 1);
}

Value UBound(Args& a) {
    const ArrayData& array = ArrayArgument(a);
    return Value::longValue(array.upper[Dimension(a, array)]);
}

Value LBound(Args& a) {
    const ArrayData& array = ArrayArgument(a);
    Dimension(a, array);
    return Value::longValue(0);
}

const Builtin kChecks[] = {
    {"isnumeric", 1, 1, IsNumeric},
    {"isempty", 1, 1, [](Args& a) { return Value::boolean(a[0].isEmpty()); }},
    {"isnull", 1, 1, [](Args& a) { return Value::boolean(a[0].isNull()); }},
    {"isarray", 1, 1, [](Args& a) { return Value::boolean(a[0].isArray()); }},
    {"isobject", 1, 1, [](Args& a) { return Value::boolean(a[0].isObject()); }},
    {"typename", 1, 1, TypeName},
    {"vartype", 1, 1, VarType},
    {"array", 0, 1 << 20, ArrayFn},
    {"ubound", 1, 2, UBound},
    {"lbound", 1, 2, LBound},
};

}  // namespace

std::span<const Builtin> CheckBuiltins() {
    return kChecks;
}

}  // namespace kz::script
