#include "filters/criterion_slot.h"

#include <algorithm>

#include "base/delimited_field.h"
#include "base/text_limit.h"

namespace kz::filters {

int CriterionSlot::resultInstanceCount() const {
    return std::clamp<int32_t>(instanceCount, 0, kMaxInstances);
}

std::string CriterionSlot::instanceData(int j, TextLimit limit) const {
    if (instanceCount == 1) return std::string(limit.cut(data));
    std::string field;
    GetDelimitedField(data, "\t", j + 1, field, limit);
    return field;
}

}  // namespace kz::filters
