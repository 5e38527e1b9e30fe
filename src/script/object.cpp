#include "script/object.h"

#include "script/error.h"

namespace kz::script {

Value Object::get(std::string_view, std::vector<Value>&) {
    ThrowRuntime(kNoSuchMember);
}

void Object::put(std::string_view, const Value&) {
    ThrowRuntime(kNoSuchMember);
}

Value Object::callDefault(std::vector<Value>&) {
    ThrowRuntime(kNoSuchMember);
}

bool Object::items(std::vector<Value>&) const {
    return false;
}

void ExpectArguments(const std::vector<Value>& args, std::size_t count) {
    if (args.size() != count) ThrowRuntime(kWrongArguments);
}

}  // namespace kz::script
