#include "script_eval.h"

namespace kz::script::test {

namespace {

std::string Describe(const ScriptError& error) {
    return (error.isSyntax ? "Syntax:" : "Error:") + std::to_string(error.number);
}

}  // namespace

std::string Show(const Value& v) {
    switch (v.type()) {
        case Type::Empty:
            return "Empty";
        case Type::Null:
            return "Null";
        case Type::Integer:
            return "Integer:" + ToString(v);
        case Type::Long:
            return "Long:" + ToString(v);
        case Type::Double:
            return "Double:" + ToString(v);
        case Type::Date:
            return "Date:" + ToString(v);
        case Type::String:
            return "String:" + v.stringPart();
        case Type::Boolean:
            return "Boolean:" + ToString(v);
        case Type::Array:
            return "Array";
        case Type::Object:
            return v.objectPart() ? "Object" : "Nothing";
    }
    return "?";
}

std::string RunBody(const std::string& body) {
    Engine engine;
    std::string code = "Function T()\n" + body + "\nT = R\nEnd Function\n";
    if (!engine.addCode(code)) return Describe(engine.error());
    std::optional<Value> result = engine.run("T");
    if (!result) return Describe(engine.error());
    return Show(*result);
}

std::string RunCode(const std::string& code) {
    Engine engine;
    if (!engine.addCode(code)) return Describe(engine.error());
    std::optional<Value> result = engine.run("t");
    return result ? Show(*result) : Describe(engine.error());
}

std::string Eval(const std::string& expression) {
    return RunBody("R = " + expression);
}

std::string ErrorOf(const std::string& body, Limits limits) {
    Engine engine(limits);
    if (!engine.addCode("Function T()\n" + body + "\nEnd Function\n"))
        return Describe(engine.error());
    if (!engine.run("T")) return Describe(engine.error());
    return "ok";
}

}  // namespace kz::script::test
