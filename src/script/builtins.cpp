#include "script/builtins.h"

#include <unordered_map>

#include "script/value.h"

namespace kz::script {

namespace {

using Table = std::unordered_map<std::string_view, const Builtin*>;

Table BuildTable() {
    Table table;
    for (auto group : {StringBuiltins(), ConversionBuiltins(), CheckBuiltins(), DateBuiltins(),
                       ObjectBuiltins()})
        for (const Builtin& b : group) table.emplace(b.name, &b);
    return table;
}

struct Constant {
    std::string_view name;
    Value (*make)();
};

const Constant kConstants[] = {
    {"vbcrlf", [] { return Value::string("\r\n"); }},
    {"vbnewline", [] { return Value::string("\r\n"); }},
    {"vbcr", [] { return Value::string("\r"); }},
    {"vblf", [] { return Value::string("\n"); }},
    {"vbtab", [] { return Value::string("\t"); }},
    {"vbnullstring", [] { return Value::string(""); }},
    {"vbnullchar", [] { return Value::string(std::string(1, '\0')); }},
    {"vbtrue", [] { return Value::integer(-1); }},
    {"vbfalse", [] { return Value::integer(0); }},
    {"vbbinarycompare", [] { return Value::integer(0); }},
    {"vbtextcompare", [] { return Value::integer(1); }},
    {"vbsunday", [] { return Value::integer(1); }},
    {"vbmonday", [] { return Value::integer(2); }},
    {"vbtuesday", [] { return Value::integer(3); }},
    {"vbwednesday", [] { return Value::integer(4); }},
    {"vbthursday", [] { return Value::integer(5); }},
    {"vbfriday", [] { return Value::integer(6); }},
    {"vbsaturday", [] { return Value::integer(7); }},
    {"vbempty", [] { return Value::integer(0); }},
    {"vbnull", [] { return Value::integer(1); }},
    {"vbinteger", [] { return Value::integer(2); }},
    {"vblong", [] { return Value::integer(3); }},
    {"vbdouble", [] { return Value::integer(5); }},
    {"vbdate", [] { return Value::integer(7); }},
    {"vbstring", [] { return Value::integer(8); }},
    {"vbobject", [] { return Value::integer(9); }},
    {"vbboolean", [] { return Value::integer(11); }},
    {"vbarray", [] { return Value::integer(8192); }},
    {"vbobjecterror", [] { return Value::longValue(int32_t(0x80040000u)); }},
};

}  // namespace

const Builtin* FindBuiltin(std::string_view name) {
    static const Table table = BuildTable();
    auto it = table.find(name);
    return it == table.end() ? nullptr : it->second;
}

bool FindConstant(std::string_view name, Value& out) {
    for (const Constant& c : kConstants) {
        if (c.name == name) {
            out = c.make();
            return true;
        }
    }
    return false;
}

bool AnyNull(const std::vector<Value>& args, std::size_t count) {
    for (std::size_t i = 0; i < count && i < args.size(); ++i)
        if (args[i].isNull()) return true;
    return false;
}

}  // namespace kz::script
