#include "filters/criterion_slot.h"

#include <algorithm>

#include "base/bounded_text.h"
#include "base/delimited_field.h"

namespace kz::filters {

int CriterionSlot::resultInstanceCount() const {
    return std::clamp<int32_t>(instanceCount, 0, kMaxInstances);
}

std::string CriterionSlot::instanceData(int j, std::size_t bufferSize) const {
    if (instanceCount == 1) return std::string(cutToBuffer(data, bufferSize));
    std::string field;
    GetDelimitedField(data, "\t", j + 1, field, bufferSize);
    return field;
}

}  // namespace kz::filters
