// Differential fuzzing of compiled word lists: for random lists, texts and delimiter
// sets, in both case modes, the compiled list must accept exactly the entries that
// MatchPattern accepts one by one.
//
// Input: a flags byte, a byte giving the text length, the text, then the entries
// separated by NUL bytes. Flags: bits 0-2 pick the delimiter set; bit 3 keeps the bytes
// as they are instead of mapping them onto a few letters, delimiters and asterisks (so
// that matches are common); bit 4 gives the automaton almost no full rows, so that the
// sparse states are searched too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filters/compiled_word_list.h"
#include "filters/match_pattern.h"
#include "fuzz_check.h"

namespace {

constexpr std::string_view kDelimiterSets[] = {" \r'\"\n", "' \r'\"\n<>;", "",    ".",
                                               "a",        "A*",           " b.", "x"};
constexpr std::string_view kAlphabet = "aAbB.x *'<";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
    std::size_t textLength = std::min<std::size_t>(data[1], input.size());
    std::vector<std::string> entries(1);
    for (std::size_t i = textLength; i < input.size(); ++i) {
        if (input[i] == '\0') {
            entries.emplace_back();
        } else {
            entries.back() += input[i];
        }
    }
    std::string text = input.substr(0, textLength);
    if (!(flags & 8)) {
        for (char& c : text) c = kAlphabet[uint8_t(c) % kAlphabet.size()];
        for (std::string& entry : entries) {
            for (char& c : entry) c = kAlphabet[uint8_t(c) % kAlphabet.size()];
        }
    }
    const std::string_view delimiters = kDelimiterSets[flags & 7];
    const kz::filters::CompiledWordList list(entries, flags & 16 ? 1 : 1 << 20, 0);

    for (bool caseSensitive : {false, true}) {
        std::vector<std::size_t> expected;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (kz::filters::MatchPattern(text, entries[i], delimiters, caseSensitive)) {
                expected.push_back(i);
            }
        }
        KZ_FUZZ_CHECK(list.matches(text, delimiters, caseSensitive) == expected);
    }
    return 0;
}
