#include "evaluate/evaluators_list.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/delimited_field.h"
#include "evaluate/evaluators_sender.h"
#include "evaluate/evaluators_walk.h"
#include "filters/compiled_instances.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "filters/result_tokens.h"
#include "filters/word_file_snapshots.h"
#include "filters/word_lists.h"

namespace kz::evaluate {

namespace {

using filters::CompiledInstance;
using filters::WordListRef;

// The instance as compiled with the table, when its kind's lists are searched together.
const CompiledInstance* compiledInstance(const FilterTable& table, const CriterionSlot& slot,
                                         int instance) {
    if (table.referenceMatching || !slot.compiled || !slot.compiled->search) return nullptr;
    return filters::FindCompiledInstance(slot, instance);
}

// One pass of the kind's lists over the offered text, made when the first compiled
// instance asks and answering every instance after it.
class KindPass {
  public:
    KindPass(Evaluation& evaluation, CriterionType kind, std::string_view value,
             std::string_view delimiters, bool caseSensitive)
        : evaluation_(evaluation),
          kind_(kind),
          value_(value),
          delimiters_(delimiters),
          caseSensitive_(caseSensitive) {}

    // The entries of list `list` that match.
    std::vector<std::size_t> matches(const filters::KindWordSearch& kindSearch,
                                     std::uint32_t list) {
        start(kindSearch);
        return search_->matches(found_, list, value_, delimiters_, caseSensitive_);
    }

    // Without pattern caching: the word file the instance's data names, as read now
    // (null when there is none or it cannot be read), and its list in the search.
    // Instances must be asked in the order of the walk.
    std::pair<WordListRef, std::uint32_t> uncachedFile(const filters::KindWordSearch& kindSearch) {
        start(kindSearch);
        const WordListRef& file = files_.at(nextFile_++);
        if (!file) return {nullptr, 0};
        const auto place = std::find(distinctFiles_.begin(), distinctFiles_.end(), file);
        if (place == distinctFiles_.end()) return {file, kAlone};
        return {file, std::uint32_t(kindSearch.fixedCount() +
                                    std::size_t(place - distinctFiles_.begin()))};
    }

    // The entries of an uncached word file that match, `list` as uncachedFile gave it.
    std::vector<std::size_t> fileMatches(const filters::KindWordSearch& kindSearch,
                                         const WordListRef& file, std::uint32_t list) {
        if (list != kAlone) return matches(kindSearch, list);
        return filters::MatchEachPattern(value_, file->entries(), delimiters_, caseSensitive_);
    }

    static constexpr std::uint32_t kAlone = UINT32_MAX;  // not in the kind's search

  private:
    void start(const filters::KindWordSearch& kindSearch) {
        if (search_) return;
        const FilterTable& table = evaluation_.table();
        if (!table.patternCaching) readFiles(table);
        search_ = kindSearch.with(distinctFiles_);
        found_ = search_->search(value_, delimiters_, caseSensitive_);
    }

    void readFiles(const FilterTable& table) {
        ForEachEnabledInstance(
            evaluation_, kind_, [&](const CriterionSlot& slot, MatchResultBlock&, int instance) {
                const CompiledInstance* compiled = compiledInstance(table, slot, instance);
                if (!compiled) return;
                std::optional<std::string> path = filters::ResolveWordFile(table, compiled->data);
                bool kept = false;
                WordListRef file = path ? filters::CurrentWordFile(*path, &kept) : nullptr;
                // A version read afresh by every run would rebuild the kind's search each
                // time: it is matched on its own instead.
                if (file && kept &&
                    std::find(distinctFiles_.begin(), distinctFiles_.end(), file) ==
                        distinctFiles_.end()) {
                    distinctFiles_.push_back(file);
                }
                files_.push_back(std::move(file));
            });
    }

    Evaluation& evaluation_;
    CriterionType kind_;
    std::string_view value_;
    std::string_view delimiters_;
    bool caseSensitive_;
    std::shared_ptr<const filters::SharedWordSearch> search_;
    filters::SharedWordSearch::Found found_;
    std::vector<WordListRef> files_;  // per instance of the walk
    std::size_t nextFile_ = 0;
    std::vector<WordListRef> distinctFiles_;
};

// Whether a word file took the instance: the one resolved when the table loaded while
// the table caches, otherwise the one the data names now.
bool matchWordFile(const FilterTable& table, const CompiledInstance& compiled,
                   const filters::KindWordSearch& kindSearch, KindPass& pass, const ListRule& rule,
                   CriterionType kind, int instance, MatchResultBlock& block) {
    if (table.patternCaching) {
        if (compiled.cachedFileList == CompiledInstance::kNoList) return false;
        filters::RecordWordFileHits(compiled.cachedFile->lines(),
                                    pass.matches(kindSearch, compiled.cachedFileList), true, kind,
                                    instance, block, rule.wordFileTag);
        return true;
    }
    auto [file, list] = pass.uncachedFile(kindSearch);
    if (!file) return false;
    filters::RecordWordFileHits(file->entries(), pass.fileMatches(kindSearch, file, list), false,
                                kind, instance, block, rule.wordFileTag);
    return true;
}

}  // namespace

void EvaluateListCriterion(Evaluation& evaluation, const ListRule& rule, CriterionType kind,
                           std::string_view value, std::string_view delimiters) {
    const FilterTable& table = evaluation.table();
    const bool caseSensitive = filters::CaseSensitiveMatching();
    const std::string sender =
        rule.senderToken ? SenderTokenAddress(evaluation.message()) : std::string();
    KindPass pass(evaluation, kind, value, delimiters, caseSensitive);
    ForEachEnabledInstance(
        evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const CompiledInstance* compiled = compiledInstance(table, slot, instance);
            const filters::KindWordSearch* kindSearch =
                compiled ? slot.compiled->search.get() : nullptr;
            std::string uncompiledData;
            const std::string& data =
                kindSearch ? compiled->data : (uncompiledData = slot.instanceData(instance));
            if (kindSearch ? matchWordFile(table, *compiled, *kindSearch, pass, rule, kind,
                                           instance, block)
                           : filters::MatchInstanceWordFile(table, value, delimiters, data, kind,
                                                            instance, block, rule.wordFileTag)) {
                return;
            }
            const bool replaceSender =
                rule.senderToken &&
                (kindSearch ? compiled->mentionsSender : filters::UsesSenderToken(data));
            if (rule.beforeAlternatives) {
                rule.beforeAlternatives(kindSearch ? compiled->fieldCount
                                                   : CountDelimitedFields(data, "\t"));
            }
            auto hit = [&](std::string_view alternative) {
                filters::RecordHit(block, kind, instance, rule.inlineTag, alternative);
                if (rule.onHit) rule.onHit(alternative);
            };
            if (kindSearch && !replaceSender) {
                // An alternative too long for the limit reads as empty, which never matches.
                const std::vector<std::string>& alternatives = compiled->alternatives->entries();
                for (std::size_t index : pass.matches(*kindSearch, compiled->alternativesList)) {
                    if (rule.alternativeLimit.fits(alternatives[index])) hit(alternatives[index]);
                }
                return;
            }
            ForEachAlternative(data, rule.alternativeLimit, [&](std::string& alternative) {
                if (replaceSender) ReplaceSenderToken(alternative, sender, rule.alternativeLimit);
                if (filters::MatchPattern(value, alternative, delimiters, caseSensitive)) {
                    hit(alternative);
                }
            });
        });
}

}  // namespace kz::evaluate
