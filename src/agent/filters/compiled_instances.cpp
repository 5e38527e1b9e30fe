#include "filters/compiled_instances.h"

#include <map>
#include <optional>
#include <unordered_map>

#include "base/delimited_field.h"
#include "filters/filter_table.h"
#include "filters/result_tokens.h"

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

// The kinds whose values go through the list evaluators.
bool matchedByLists(CriterionType kind) {
    switch (KindOf(kind).shape) {
        case KindShape::Words:
        case KindShape::Addresses:
        case KindShape::Envelope:
        case KindShape::Names:
            return true;
        default:
            return false;
    }
}

// Gathers each distinct list of one kind once, in the order met.
class KindLists {
  public:
    std::uint32_t add(const WordListRef& list) {
        auto [it, added] = index_.try_emplace(list.get(), std::uint32_t(lists_.size()));
        if (added) lists_.push_back(list);
        return it->second;
    }
    std::vector<WordListRef> take() { return std::move(lists_); }

  private:
    std::unordered_map<const CompiledWordList*, std::uint32_t> index_;
    std::vector<WordListRef> lists_;
};

// Inline lists of the same data, in any filter and kind, are compiled once.
using InlineLists = std::map<std::string, WordListRef, std::less<>>;

CompiledInstance compileInstance(const FilterTable& table, std::string data, InlineLists& inlines,
                                 KindLists& lists) {
    CompiledInstance compiled;
    if (table.patternCaching) {
        if (std::optional<std::string> path = ResolveWordFile(table, data)) {
            compiled.cachedFile = table.patternCache.find(*path);
        }
    }
    if (compiled.cachedFile) {
        // The file always takes the instance: its data is never read as a list.
        compiled.cachedFileList =
            lists.add(WordListRef(compiled.cachedFile, &compiled.cachedFile->words));
        compiled.data = std::move(data);
        return compiled;
    }
    auto known = inlines.find(data);
    if (known == inlines.end()) {
        std::vector<std::string> alternatives;
        for (std::string_view alternative : InlineAlternatives(data)) {
            alternatives.emplace_back(alternative);
        }
        known =
            inlines.emplace(data, std::make_shared<const CompiledWordList>(std::move(alternatives)))
                .first;
    }
    compiled.alternatives = known->second;
    compiled.alternativesList = lists.add(compiled.alternatives);
    compiled.fieldCount = CountDelimitedFields(data, "\t");
    compiled.mentionsSender = UsesSenderToken(data);
    compiled.data = std::move(data);
    return compiled;
}

}  // namespace

void CompileInstances(FilterTable& table) {
    InlineLists inlines;
    for (int kind = 0; kind < kCriterionCount; ++kind) {
        std::vector<std::shared_ptr<CompiledInstances>> compiledSlots;
        KindLists lists;
        for (FilterDefinition& filter : table.filters) {
            CriterionSlot& slot = filter.slots[std::size_t(kind)];
            slot.compiled.reset();
            if (!slot.isEnabled() || !matchedByLists(CriterionType(kind))) continue;
            auto compiled = std::make_shared<CompiledInstances>();
            for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
                compiled->instances.push_back(
                    compileInstance(table, slot.instanceData(instance), inlines, lists));
            }
            compiledSlots.push_back(compiled);
            slot.compiled = std::move(compiled);
        }
        if (compiledSlots.empty()) continue;
        auto search = std::make_shared<const KindWordSearch>(lists.take());
        for (const auto& compiled : compiledSlots) compiled->search = search;
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
