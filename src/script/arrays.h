#pragma once
// Array values: creation with bounds, element lookup, ReDim Preserve.

#include <memory>
#include <vector>

#include "script/value.h"

namespace kz::script {

// An array with the given upper bounds (each at least -1); Out of memory past the limit.
std::shared_ptr<ArrayData> MakeArray(const std::vector<int32_t>& upper);
// A one-dimensional array holding the values.
Value ArrayOf(std::vector<Value> items);
// The element at the indexes; Subscript out of range when they do not fit.
Value& ElementAt(ArrayData& array, const std::vector<Value>& indexes);
// Resizes keeping the elements; only the last dimension may change.
void PreserveResize(ArrayData& array, const std::vector<int32_t>& upper);

}  // namespace kz::script
