#include "filters/compiled_instances.h"

#include <optional>

#include "base/delimited_field.h"
#include "filters/filter_table.h"

namespace kz::filters {

std::vector<std::string_view> InlineAlternatives(std::string_view data) {
    std::vector<std::string_view> fields;
    const int count = CountDelimitedFields(data, "\t");
    std::size_t start = 0;
    for (int i = 0; i < count; ++i) {
        std::size_t end = data.find('\t', start);
        fields.push_back(data.substr(start, end == std::string_view::npos ? end : end - start));
        start = end == std::string_view::npos ? data.size() : end + 1;
    }
    return fields;
}

namespace {

CompiledInstance compileInstance(const FilterTable& table, std::string data) {
    CompiledInstance compiled;
    if (table.patternCaching) {
        if (std::optional<std::string> path = ResolveWordFile(table, data)) {
            compiled.cachedFile = table.patternCache.find(*path);
        }
    }
    std::vector<std::string> alternatives;
    for (std::string_view alternative : InlineAlternatives(data)) {
        alternatives.emplace_back(alternative);
    }
    compiled.alternatives = CompiledWordList(std::move(alternatives));
    compiled.data = std::move(data);
    return compiled;
}

}  // namespace

void CompileInstances(FilterTable& table) {
    for (FilterDefinition& filter : table.filters) {
        for (CriterionSlot& slot : filter.slots) {
            slot.compiled.reset();
            if (!slot.isEnabled()) continue;
            auto compiled = std::make_shared<CompiledInstances>();
            for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
                compiled->instances.push_back(compileInstance(table, slot.instanceData(instance)));
            }
            slot.compiled = std::move(compiled);
        }
    }
}

const CompiledInstance* FindCompiledInstance(const CriterionSlot& slot, int instance) {
    if (!slot.compiled || instance < 0 ||
        std::size_t(instance) >= slot.compiled->instances.size()) {
        return nullptr;
    }
    return &slot.compiled->instances[std::size_t(instance)];
}

}  // namespace kz::filters
