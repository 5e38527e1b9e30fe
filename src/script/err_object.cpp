#include "script/err_object.h"

#include "script/error.h"

namespace kz::script {

namespace {

constexpr const char* kSource = "Microsoft VBScript runtime error";

}  // namespace

void ErrObject::record(int number, std::string description) {
    number_ = number;
    description_ = std::move(description);
    source_ = kSource;
}

void ErrObject::clear() {
    number_ = 0;
    description_.clear();
    source_.clear();
}

Value ErrObject::callDefault(std::vector<Value>& args) {
    ExpectArguments(args, 0);
    return Value::longValue(number_);
}

Value ErrObject::get(std::string_view name, std::vector<Value>& args) {
    if (name == "number") return callDefault(args);
    if (name == "description" || name == "source") {
        ExpectArguments(args, 0);
        return Value::string(name == "source" ? source_ : description_);
    }
    if (name == "clear") {
        ExpectArguments(args, 0);
        clear();
        return {};
    }
    if (name == "raise") {
        if (args.empty() || args.size() > 5) ThrowRuntime(kWrongArguments);
        int number = ToLong(args[0]);
        std::string description =
            args.size() > 2 && !args[2].isEmpty() ? ToString(args[2]) : ErrorText(number);
        if (description.empty()) description = "Unknown runtime error";
        throw ScriptException(number, std::move(description), 0, false);
    }
    return Object::get(name, args);
}

void ErrObject::put(std::string_view name, const Value& value) {
    if (name == "number")
        number_ = ToLong(value);
    else if (name == "description")
        description_ = ToString(value);
    else if (name == "source")
        source_ = ToString(value);
    else
        Object::put(name, value);
}

}  // namespace kz::script
