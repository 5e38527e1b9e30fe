#pragma once
// The Err object: the last error caught by On Error Resume Next, Raise and Clear.

#include <memory>
#include <string>

#include "script/object.h"

namespace kz::script {

class ErrObject : public Object {
  public:
    std::string_view typeName() const override { return "ErrObject"; }
    Value get(std::string_view name, std::vector<Value>& args) override;
    void put(std::string_view name, const Value& value) override;
    Value callDefault(std::vector<Value>& args) override;

    void record(int number, std::string description);
    void clear();
    int number() const { return number_; }

  private:
    int number_ = 0;
    std::string description_;
    std::string source_;
};

}  // namespace kz::script
