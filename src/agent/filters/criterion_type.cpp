#include "filters/criterion_type.h"

#include "base/ascii.h"

namespace kz::filters {

int CriterionFromKeyword(std::string_view keyword) {
    for (int k = 0; k < kCriterionCount; ++k) {
        if (equalsIgnoreCase(kCriterionKinds[std::size_t(k)].keyword, keyword)) return k;
    }
    return -1;
}

}  // namespace kz::filters
