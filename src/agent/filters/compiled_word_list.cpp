#include "filters/compiled_word_list.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "base/ascii.h"
#include "filters/match_pattern.h"

namespace kz::filters {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// For each shift at which the folded word matches itself (a border), the character just
// before the shifted copy, in both cases.
std::string overlapBytes(std::string_view word) {
    const std::string folded = toLowerAscii(word);
    std::vector<std::size_t> border(folded.size(), 0);
    for (std::size_t i = 1, length = 0; i < folded.size(); ++i) {
        while (length > 0 && folded[i] != folded[length]) length = border[length - 1];
        if (folded[i] == folded[length]) ++length;
        border[i] = length;
    }
    std::string bytes;
    for (std::size_t b = folded.empty() ? 0 : border.back(); b > 0; b = border[b - 1]) {
        const char before = word[folded.size() - b - 1];
        bytes += toLowerAscii(before);
        bytes += toUpperAscii(before);
    }
    return bytes;
}

// The longest text between single asterisks: every match holds it, ignoring case.
std::string_view longestSegment(std::string_view pattern) {
    std::string_view longest;
    while (true) {
        const std::size_t star = pattern.find('*');
        std::string_view segment = pattern.substr(0, star);
        if (segment.size() > longest.size()) longest = segment;
        if (star == kNone) return longest;
        pattern.remove_prefix(star + 1);
    }
}

}  // namespace

bool WordBounds::operator()(std::size_t start, std::size_t end) {
    if (!set_) {
        isDelimiter_.fill(false);
        for (char c : delimiters_) isDelimiter_[std::uint8_t(c)] = true;
        set_ = true;
    }
    return (start == 0 || isDelimiter_[std::uint8_t(text_[start - 1])]) &&
           (end == text_.size() || isDelimiter_[std::uint8_t(text_[end])]);
}

CompiledWordList::CompiledWordList(std::vector<std::string> entries)
    : entries_(std::move(entries)) {
    forms_.resize(entries_.size());
    std::unordered_map<std::string, std::uint32_t> keyIds;
    auto keyFor = [&](std::string_view text) {
        std::string folded = toLowerAscii(text);
        auto [it, added] = keyIds.try_emplace(folded, std::uint32_t(keys_.size()));
        if (added) keys_.push_back(std::move(folded));
        return it->second;
    };
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string& entry = entries_[i];
        Entry& form = forms_[i];
        if (entry.empty()) continue;
        if (entry.find("**") != kNone) {
            form.form = Form::Literal;
            form.key = keyFor(entry);
        } else if (entry.find('*') == kNone) {
            form.form = Form::Word;
            form.key = keyFor(entry);
            form.overlapBytes = overlapBytes(entry);
        } else {
            form.form = Form::Segments;
            std::string_view segment = longestSegment(entry);
            if (segment.empty()) {
                unkeyed_.push_back(std::uint32_t(i));
            } else {
                form.key = keyFor(segment);
            }
        }
    }

    keyHasWords_.assign(keys_.size(), false);
    keyEntryStart_.assign(keys_.size() + 1, 0);
    for (const Entry& form : forms_) {
        if (form.key == kNoKey) continue;
        ++keyEntryStart_[form.key + 1];
        if (form.form == Form::Word) keyHasWords_[form.key] = true;
    }
    for (std::size_t k = 0; k < keys_.size(); ++k) keyEntryStart_[k + 1] += keyEntryStart_[k];
    keyEntries_.resize(keyEntryStart_.back());
    std::vector<std::uint32_t> filled(keyEntryStart_.begin(), keyEntryStart_.end() - 1);
    for (std::size_t i = 0; i < forms_.size(); ++i) {
        if (forms_[i].key != kNoKey) keyEntries_[filled[forms_[i].key]++] = std::uint32_t(i);
    }
}

void CompiledWordList::noteExact(Hits& hits, std::uint32_t key, std::string_view found) const {
    for (std::uint32_t e = keyEntryStart_[key]; e < keyEntryStart_[key + 1]; ++e) {
        const std::uint32_t index = keyEntries_[e];
        if (forms_[index].form == Form::Word && found == entries_[index]) {
            hits.exactWordHits.push_back(index);
        }
    }
}

std::vector<std::size_t> CompiledWordList::decide(const Hits* hits, std::string_view text,
                                                  std::string_view delimiters,
                                                  bool caseSensitive) const {
    const bool anySeen = hits != nullptr && !hits->seen.empty();
    if (!anySeen && unkeyed_.empty()) return {};

    // Each candidate entry with whether its key occurred as a whole word.
    std::vector<std::pair<std::uint32_t, bool>> candidates;
    for (std::uint32_t index : unkeyed_) candidates.emplace_back(index, false);
    std::vector<std::uint32_t> exact;
    if (anySeen) {
        for (const SeenKey& seen : hits->seen) {
            for (std::uint32_t e = keyEntryStart_[seen.key]; e < keyEntryStart_[seen.key + 1]; ++e)
                candidates.emplace_back(keyEntries_[e], seen.wordHit);
        }
        std::sort(candidates.begin(), candidates.end());
        exact = hits->exactWordHits;
        std::sort(exact.begin(), exact.end());
    }

    std::vector<std::size_t> found;
    for (const auto& [index, keyWordHit] : candidates) {
        const bool exactWordHit = std::binary_search(exact.begin(), exact.end(), index);
        if (matchesFound(index, text, delimiters, caseSensitive, keyWordHit, exactWordHit)) {
            found.push_back(index);
        }
    }
    return found;
}

// Whether a candidate entry matches, given what the search found of its key.
bool CompiledWordList::matchesFound(std::size_t index, std::string_view text,
                                    std::string_view delimiters, bool caseSensitive,
                                    bool keyWordHit, bool exactWordHit) const {
    const Entry& form = forms_[index];
    switch (form.form) {
        case Form::Never:
            return false;
        case Form::Literal:
            return true;
        case Form::Word:
            if (form.overlapBytes.empty() || delimiters.find_first_of(form.overlapBytes) == kNone) {
                return caseSensitive ? exactWordHit : keyWordHit;
            }
            break;
        case Form::Segments:
            break;
    }
    return MatchPattern(text, entries_[index], delimiters, caseSensitive);
}

}  // namespace kz::filters
