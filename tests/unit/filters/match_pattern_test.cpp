#include "filters/match_pattern.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kz::filters {
namespace {

// The delimiter sets the message scan passes for words and for addresses.
constexpr std::string_view W = " \r'\"\n";
constexpr std::string_view A = "' \r'\"\n<>;";
constexpr bool CI = false;
constexpr bool CS = true;

struct Case {
    std::string_view text;
    std::string_view pattern;
    std::string_view delimiters;
    bool caseSensitive;
    int expected;
    const char* why;
};

// Expected results worked out from the matching rules by hand.
const Case kCases[] = {
    // An empty pattern never matches.
    {"anything", "", W, CI, 0, "empty pattern"},
    {"", "", W, CI, 0, "empty pattern, empty text"},

    // "**": the whole pattern, asterisks included, anywhere, ignoring case.
    {"buy **cheap** now", "**cheap**", W, CI, 1, "literal double asterisks"},
    {"buy cheap now", "**cheap**", W, CI, 0, "word without the asterisks"},
    {"BUY **CHEAP**", "**cheap**", W, CS, 1, "double asterisks ignore the case setting"},
    {"xa**by", "a**b", W, CI, 1, "double asterisks need no word boundary"},
    {"", "**", W, CI, 0, "double asterisks against nothing"},

    // No asterisk: a whole word between delimiters or the text's ends.
    {"Get FREE stuff", "free", W, CI, 1, "word between blanks, case folded"},
    {"Get FREE stuff", "free", W, CS, 0, "case-sensitive"},
    {"freedom", "free", W, CI, 0, "start of a longer word"},
    {"carefree", "free", W, CI, 0, "end of a longer word"},
    {"freedom free", "free", W, CI, 1, "a later occurrence counts"},
    {"'free'", "free", W, CI, 1, "apostrophes delimit"},
    {"free.", "free", W, CI, 0, "a full stop does not delimit"},
    {"free stuff", "free stuff", W, CI, 1, "a pattern with a blank"},
    {"free", "free", "", CI, 1, "no delimiters: the whole text"},
    {"free stuff", "free", "", CI, 0, "no delimiters: part of the text"},
    {"xa a a", "a a", W, CI, 0, "the search resumes past a skipped occurrence"},
    {"John <john@example.com>", "john@example.com", A, CI, 1, "address between angle brackets"},
    {"John <john@example.com>", "john@example.com", W, CI, 0,
     "angle brackets are no word delimiters"},

    // Segments: the first stands at the very start.
    {"free stuff", "free*", W, CI, 1, "first segment at the start"},
    {"FREE", "free*", W, CS, 0, "first segment, case-sensitive"},
    {"fre", "free*", W, CI, 0, "first segment longer than the text"},
    {"Get free offer", "free*offer", W, CI, 0, "first segment not at the start"},
    {"free offer", "free*offer", W, CI, 1, "first and last segments"},
    {"free offers", "free*offer", W, CI, 0, "last segment inside a word"},
    {"", "*", W, CI, 1, "a lone asterisk, empty text"},
    {"anything at all", "*", W, CI, 1, "a lone asterisk"},

    // The last segment: any occurrence after the others that ends a word.
    {"John <john@example.com>", "*example.com", A, CI, 1, "domain followed by >"},
    {"x@example.com.evil.org", "*example.com", A, CI, 0, "domain followed by ."},
    {"a@example.com.evil.org; b@example.com", "*example.com", A, CI, 1,
     "a later occurrence ends a word"},
    {"invoice.exe.exe", "*.exe", W, CI, 1, "repeated extension"},
    {"a.EXE.exe", "*.exe", W, CI, 1, "repeated extension, other case first"},
    {"a.exe1.exe", "*.exe", W, CI, 1, "first occurrence inside a word"},
    {"an offer", "*Offer", W, CS, 0, "case-sensitive last segment"},
    {"an offer", "*Offer", W, CI, 1, "case-folded last segment"},

    // Middle segments: searched ignoring case, whatever the setting, in order and
    // without overlapping their neighbours.
    {"you WIN big", "*win*", W, CI, 1, "middle segment"},
    {"WINNER", "*win*", W, CS, 1, "middle segment ignores the case setting"},
    {"abc", "*1*", W, CI, 0, "middle segment missing"},
    {"a1", "*1*", W, CI, 1, "middle segment inside a word"},
    {"ab", "*ab*b", W, CI, 0, "last segment overlapping the middle one"},
    {"abc", "ab*b*", W, CI, 0, "middle segment overlapping the first"},
    {"Cheap stuff", "*cheap*cheap*", W, CI, 0, "one occurrence for two segments"},
    {"A b", "*b*a", W, CI, 0, "last segment before the middle one"},
    {"Cheap cheap", "*cheap*cheap*", W, CS, 1, "two occurrences, case ignored"},
    {"x.com y.com", "*.com*.com", W, CI, 1, "middle takes the first, last the second"},
};

TEST(MatchPattern, FollowsItsRules) {
    for (const Case& c : kCases) {
        EXPECT_EQ(MatchPattern(c.text, c.pattern, c.delimiters, c.caseSensitive), c.expected)
            << c.why << ": [" << c.pattern << "] against [" << c.text << "]"
            << (c.caseSensitive ? " case-sensitive" : "");
    }
}

}  // namespace
}  // namespace kz::filters
