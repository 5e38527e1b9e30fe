#pragma once
// One criterion kind of one filter: whether it is enabled, its argument text and how
// many instances (token occurrences or table lines) it stands for.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/text_limit.h"
#include "filters/criterion_type.h"

namespace kz::filters {

struct CompiledInstances;

struct CriterionSlot {
    // An instance's data is copied into a buffer of this limit by the evaluators.
    static constexpr TextLimit kInstanceDataLimit{2048};

    int32_t enabled = 0;  // only exactly 1 enables the criterion
    std::string data;     // instances (or alternatives of a single instance), tab-separated
    int32_t threshold = 0;
    int32_t instanceCount = 0;
    // Set once the table has loaded (see CompileInstances); shared by copies of the slot.
    std::shared_ptr<const CompiledInstances> compiled;

    bool isEnabled() const { return enabled == 1; }

    // Instances that have a place in the results (at most kMaxInstances). Evaluators
    // walk only these, so a script with more occurrences of one token never writes
    // beyond a result row.
    int resultInstanceCount() const;

    // The data of instance j (0-based): the whole data for a single instance, otherwise
    // the (j+1)-th tab-separated field. A field the data does not have, or one that does
    // not fit the limit, gives an empty text; the whole data is cut to the buffer.
    std::string instanceData(int j, TextLimit limit = kInstanceDataLimit) const;
};

}  // namespace kz::filters
