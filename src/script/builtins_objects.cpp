#include <cctype>

#include "base/ascii.h"
#include "script/builtins.h"
#include "script/error.h"
#include "script/regexp.h"

namespace kz::script {

namespace {

using Args = std::vector<Value>;

Value CreateObject(Args& a) {
    std::string name = ToString(a[0]);
    for (char& c : name) c = toLowerAscii(c);
    if (name == "vbscript.regexp") return Value::object(CreateRegExp());
    ThrowRuntime(kCannotCreateObject);
}

const Builtin kObjects[] = {
    {"createobject", 1, 2, CreateObject},
};

}  // namespace

std::span<const Builtin> ObjectBuiltins() {
    return kObjects;
}

}  // namespace kz::script
