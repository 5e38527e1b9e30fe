#include "script/regexp_matches.h"

#include "script/error.h"

namespace kz::script {

namespace {

// A read-only list with Count, Item and a default Item, usable in For Each.
class ValueList : public Object {
  public:
    ValueList(std::string_view type, std::vector<Value> items)
        : type_(type), items_(std::move(items)) {}
    std::string_view typeName() const override { return type_; }

    Value get(std::string_view name, std::vector<Value>& args) override {
        if (name == "count") {
            ExpectArguments(args, 0);
            return Value::longValue(int32_t(items_.size()));
        }
        if (name == "item") return callDefault(args);
        return Object::get(name, args);
    }

    Value callDefault(std::vector<Value>& args) override {
        ExpectArguments(args, 1);
        int32_t i = ToLong(args[0]);
        if (i < 0 || std::size_t(i) >= items_.size()) ThrowRuntime(kInvalidCall);
        return items_[std::size_t(i)];
    }

    bool items(std::vector<Value>& out) const override {
        out = items_;
        return true;
    }

  private:
    std::string_view type_;
    std::vector<Value> items_;
};

class Match : public Object {
  public:
    explicit Match(MatchData data) : data_(std::move(data)) {}
    std::string_view typeName() const override { return "IMatch2"; }

    Value get(std::string_view name, std::vector<Value>& args) override {
        if (name == "submatches") {
            if (!submatches_)
                submatches_ = std::make_shared<ValueList>("ISubMatches", data_.submatches);
            // m.SubMatches(0) reads the collection's default Item.
            if (!args.empty()) return submatches_->callDefault(args);
            return Value::object(submatches_);
        }
        ExpectArguments(args, 0);
        if (name == "value") return Value::string(data_.value);
        if (name == "firstindex") return Value::longValue(data_.firstIndex);
        if (name == "length") return Value::longValue(int32_t(data_.value.size()));
        return Object::get(name, args);
    }

    Value callDefault(std::vector<Value>& args) override {
        ExpectArguments(args, 0);
        return Value::string(data_.value);
    }

  private:
    MatchData data_;
    std::shared_ptr<Object> submatches_;
};

}  // namespace

std::shared_ptr<Object> MakeMatchCollection(std::vector<MatchData> matches) {
    std::vector<Value> items;
    items.reserve(matches.size());
    for (MatchData& m : matches)
        items.push_back(Value::object(std::make_shared<Match>(std::move(m))));
    return std::make_shared<ValueList>("IMatchCollection2", std::move(items));
}

}  // namespace kz::script
