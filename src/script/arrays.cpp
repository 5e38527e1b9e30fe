#include "script/arrays.h"

#include "script/error.h"
#include "script/limits.h"

namespace kz::script {

std::shared_ptr<ArrayData> MakeArray(const std::vector<int32_t>& upper) {
    auto array = std::make_shared<ArrayData>();
    std::size_t count = 1;
    for (int32_t u : upper) {
        if (u < -1) ThrowRuntime(kSubscriptOutOfRange);
        count *= std::size_t(u) + 1;
        CheckArrayItems(count);
    }
    array->upper = upper;
    array->items.resize(upper.empty() ? 0 : count);
    return array;
}

Value ArrayOf(std::vector<Value> items) {
    CheckArrayItems(items.size());
    auto array = std::make_shared<ArrayData>();
    array->upper = {int32_t(items.size()) - 1};
    array->items = std::move(items);
    return Value::array(std::move(array));
}

Value& ElementAt(ArrayData& array, const std::vector<Value>& indexes) {
    if (indexes.size() != array.upper.size()) ThrowRuntime(kSubscriptOutOfRange);
    std::size_t offset = 0;
    // The first index varies fastest, as in VBScript's own layout.
    for (std::size_t d = indexes.size(); d-- > 0;) {
        int32_t i = ToLong(indexes[d]);
        if (i < 0 || i > array.upper[d]) ThrowRuntime(kSubscriptOutOfRange);
        offset = offset * (std::size_t(array.upper[d]) + 1) + std::size_t(i);
    }
    return array.items.at(offset);
}

void PreserveResize(ArrayData& array, const std::vector<int32_t>& upper) {
    if (!array.upper.empty()) {
        if (upper.size() != array.upper.size()) ThrowRuntime(kSubscriptOutOfRange);
        for (std::size_t d = 0; d + 1 < upper.size(); ++d)
            if (upper[d] != array.upper[d]) ThrowRuntime(kSubscriptOutOfRange);
    }
    std::shared_ptr<ArrayData> resized = MakeArray(upper);
    // The last dimension varies slowest, so the kept elements are a prefix.
    std::size_t keep = std::min(resized->items.size(), array.items.size());
    for (std::size_t i = 0; i < keep; ++i) resized->items[i] = std::move(array.items[i]);
    array.upper = resized->upper;
    array.items = std::move(resized->items);
}

}  // namespace kz::script
