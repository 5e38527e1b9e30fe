#pragma once
// Objects the scripts reach through members: RegExp, its matches and the Err object.

#include <string_view>
#include <vector>

#include "script/value.h"

namespace kz::script {

class Object {
  public:
    virtual ~Object() = default;
    virtual std::string_view typeName() const = 0;
    // Property read or method call by lower-case name; throws 438 for unknown members.
    virtual Value get(std::string_view name, std::vector<Value>& args);
    virtual void put(std::string_view name, const Value& value);
    // The default member, used by obj(args) and by conversion to a plain value.
    virtual Value callDefault(std::vector<Value>& args);
    // The items of a collection for For Each; false when this is no collection.
    virtual bool items(std::vector<Value>& out) const;
};

// Helpers for members: argument count checks and a Boolean property put.
void ExpectArguments(const std::vector<Value>& args, std::size_t count);

}  // namespace kz::script
