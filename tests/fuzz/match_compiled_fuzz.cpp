// Differential fuzzing of compiled word lists: for random lists, texts and delimiter
// sets, in both case modes, each list searched alone and all lists searched together in
// one pass must accept exactly the entries that MatchPattern accepts one by one.
//
// Input: a flags byte, a byte giving the text length, the text, then the entries
// separated by NUL bytes, a 0x01 byte starting the next list. Flags: bits 0-2 pick the
// delimiter set; bit 3 keeps the bytes as they are instead of mapping them onto a few
// letters, delimiters and asterisks (so that matches are common); bit 4 gives the
// automata almost no full rows, so that the sparse states are searched too; bit 5 adds
// the last list as a word file read afresh rather than a fixed list; bit 6 repeats the
// text to a few kilobytes, which a search goes through as several pieces at once.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filters/compiled_word_list.h"
#include "filters/compiled_word_search.h"
#include "filters/match_pattern.h"
#include "fuzz_check.h"

namespace {

using kz::filters::CompiledWordList;
using kz::filters::WordListRef;

constexpr std::string_view kDelimiterSets[] = {" \r'\"\n", "' \r'\"\n<>;", "",    ".",
                                               "a",        "A*",           " b.", "x"};
constexpr std::string_view kAlphabet = "aAbB.x *'<";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
    std::size_t textLength = std::min<std::size_t>(data[1], input.size());
    std::vector<std::vector<std::string>> lists(1, std::vector<std::string>(1));
    for (std::size_t i = textLength; i < input.size(); ++i) {
        if (input[i] == '\x01') {
            lists.emplace_back(1);
        } else if (input[i] == '\0') {
            lists.back().emplace_back();
        } else {
            lists.back().back() += input[i];
        }
    }
    std::string text = input.substr(0, textLength);
    if ((flags & 64) && !text.empty()) {
        const std::string once = text;
        while (text.size() < 3000) text += once;
    }
    if (!(flags & 8)) {
        auto map = [](std::string& s) {
            for (char& c : s) c = kAlphabet[uint8_t(c) % kAlphabet.size()];
        };
        map(text);
        for (auto& entries : lists) {
            for (std::string& entry : entries) map(entry);
        }
    }
    const std::string_view delimiters = kDelimiterSets[flags & 7];
    const std::size_t denseCells = flags & 16 ? 1 : 1 << 20;

    std::vector<WordListRef> refs;
    for (const auto& entries : lists) {
        refs.push_back(std::make_shared<const CompiledWordList>(entries));
    }
    std::shared_ptr<const kz::filters::SharedWordSearch> search;
    if ((flags & 32) && refs.size() > 1) {
        const WordListRef file = refs.back();
        refs.pop_back();
        const kz::filters::KindWordSearch kind(refs);
        search = kind.with({file});
    } else {
        search = std::make_shared<const kz::filters::SharedWordSearch>(refs, denseCells);
    }

    for (bool caseSensitive : {false, true}) {
        const auto found = search->search(text, delimiters, caseSensitive);
        for (std::size_t l = 0; l < lists.size(); ++l) {
            const auto expected =
                kz::filters::MatchEachPattern(text, lists[l], delimiters, caseSensitive);
            KZ_FUZZ_CHECK(search->matches(found, l, text, delimiters, caseSensitive) == expected);
        }
    }
    return 0;
}
