#include "filters/compiled_word_search.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace kz::filters {

SharedWordSearch::SharedWordSearch(std::vector<WordListRef> lists, std::size_t denseCells)
    : lists_(std::move(lists)) {
    // Keys are the lists' own folded texts, which the lists keep alive.
    std::unordered_map<std::string_view, std::uint32_t> ids;
    std::vector<std::string_view> keys;
    std::vector<std::pair<std::uint32_t, Owner>> owned;
    for (std::size_t l = 0; l < lists_.size(); ++l) {
        const std::vector<std::string>& listKeys = lists_[l]->keys();
        for (std::size_t k = 0; k < listKeys.size(); ++k) {
            auto [it, added] = ids.try_emplace(listKeys[k], std::uint32_t(keys.size()));
            if (added) keys.push_back(listKeys[k]);
            owned.push_back({it->second, Owner{std::uint32_t(l), std::uint32_t(k)}});
        }
    }
    std::stable_sort(owned.begin(), owned.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ownerStart_.assign(keys.size() + 1, 0);
    owners_.reserve(owned.size());
    for (const auto& [key, owner] : owned) {
        ++ownerStart_[key + 1];
        owners_.push_back(owner);
    }
    for (std::size_t k = 0; k < keys.size(); ++k) ownerStart_[k + 1] += ownerStart_[k];
    keyLength_.resize(keys.size());
    keyHasWords_.assign(keys.size(), false);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        keyLength_[k] = std::uint32_t(keys[k].size());
        for (std::uint32_t o = ownerStart_[k]; o < ownerStart_[k + 1]; ++o) {
            if (lists_[owners_[o].list]->keyHasWords(owners_[o].key)) keyHasWords_[k] = true;
        }
    }
    automaton_ = WordAutomaton(keys, denseCells);
}

namespace {

// What one search learnt of a key, whichever lists hold it.
constexpr std::uint8_t kSeen = 1;     // it occurs somewhere
constexpr std::uint8_t kWordHit = 2;  // as a whole word (ignoring case)
constexpr std::uint8_t kSettled = 4;  // further occurrences tell nothing new

}  // namespace

SharedWordSearch::Found SharedWordSearch::search(std::string_view text, std::string_view delimiters,
                                                 bool caseSensitive) const {
    Found found;
    // Most occurrences repeat what an earlier one told: they are settled here once for
    // every list that holds the key, in whatever order they come.
    std::vector<std::uint8_t> state;
    std::vector<std::uint32_t> seen;
    WordBounds isWord(text, delimiters);
    automaton_.forEachHit(text, [&](std::uint32_t key, std::size_t end) {
        if (state.empty()) {
            state.assign(keyLength_.size(), 0);
            found.hits.resize(lists_.size());
        }
        std::uint8_t& keyState = state[key];
        if (!(keyState & kSeen)) {
            keyState |= keyHasWords_[key] ? kSeen : kSeen | kSettled;
            seen.push_back(key);
        }
        if (keyState & kSettled) return;
        const std::size_t start = end - keyLength_[key];
        if (!isWord(start, end)) return;
        if (!caseSensitive) {
            keyState |= kWordHit | kSettled;
            return;
        }
        const std::string_view word = text.substr(start, keyLength_[key]);
        for (std::uint32_t o = ownerStart_[key]; o < ownerStart_[key + 1]; ++o) {
            lists_[owners_[o].list]->noteExact(found.hits[owners_[o].list], owners_[o].key, word);
        }
    });
    for (std::uint32_t key : seen) {
        const bool wordHit = state[key] & kWordHit;
        for (std::uint32_t o = ownerStart_[key]; o < ownerStart_[key + 1]; ++o)
            found.hits[owners_[o].list].seen.push_back({owners_[o].key, wordHit});
    }
    return found;
}

std::vector<std::size_t> SharedWordSearch::matches(const Found& found, std::size_t list,
                                                   std::string_view text,
                                                   std::string_view delimiters,
                                                   bool caseSensitive) const {
    const CompiledWordList::Hits* hits = found.hits.empty() ? nullptr : &found.hits[list];
    return lists_[list]->decide(hits, text, delimiters, caseSensitive);
}

KindWordSearch::KindWordSearch(std::vector<WordListRef> fixed)
    : fixedCount_(fixed.size()),
      fixed_(std::make_shared<const SharedWordSearch>(std::move(fixed))) {}

std::shared_ptr<const SharedWordSearch> KindWordSearch::with(
    const std::vector<WordListRef>& files) const {
    if (files.empty()) return fixed_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (withFiles_ && std::equal(files.begin(), files.end(),
                                 withFiles_->lists().begin() + std::ptrdiff_t(fixedCount_),
                                 withFiles_->lists().end())) {
        return withFiles_;
    }
    std::vector<WordListRef> lists = fixed_->lists();
    lists.insert(lists.end(), files.begin(), files.end());
    withFiles_ = std::make_shared<const SharedWordSearch>(std::move(lists));
    return withFiles_;
}

}  // namespace kz::filters
