// The regular-expression engine: the syntax and matches of tests/fixtures/script/
// regex_cases.txt, and the bounds that keep hostile patterns and subjects in check.
#include "script/regex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "support/case_file.h"

namespace kz::script::regex {
namespace {

// The outcome in the notation of the cases file.
std::string Outcome(const std::string& flags, const std::string& pattern,
                    const std::string& subject) {
    Program program;
    bool ignoreCase = flags.find('i') != std::string::npos;
    bool multiLine = flags.find('m') != std::string::npos;
    if (Compile(pattern, ignoreCase, multiLine, program) != CompileStatus::kOk) return "!";
    std::size_t steps = 100000;
    std::vector<std::size_t> at;
    MatchStatus status = Search(program, subject, 0, steps, at);
    if (status != MatchStatus::kMatch) return status == MatchStatus::kNoMatch ? "-" : "budget";
    std::string out = "@" + std::to_string(at[0]) + ":";
    for (std::size_t k = 0; k < at.size(); k += 2) {
        if (k > 0) out += "|";
        out += at[k] == kNotSet ? "(none)" : subject.substr(at[k], at[k + 1] - at[k]);
    }
    return out;
}

TEST(Regex, CasesOfTheFixtureFile) {
    std::vector<test::CaseLine> cases = test::ReadCaseFile("script/regex_cases.txt");
    EXPECT_GT(cases.size(), 50u);
    for (const test::CaseLine& c : cases) {
        ASSERT_EQ(c.fields.size(), 4u) << "line " << c.number;
        EXPECT_EQ(Outcome(c.fields[0], c.fields[1], test::Unescape(c.fields[2])),
                  test::Unescape(c.fields[3]))
            << "line " << c.number << ": " << c.fields[1];
    }
}

// Exponential backtracking runs out of steps, in bounded time.
TEST(Regex, HostilePatternsEndWithinTheBudgetAndOversizedOnesAreRefused) {
    Program program;
    ASSERT_EQ(Compile("(a+)+b", false, false, program), CompileStatus::kOk);
    std::string subject(5000, 'a');
    std::vector<std::size_t> at;
    std::size_t steps = 20000000;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Search(program, subject, 0, steps, at), MatchStatus::kTooComplex);
    EXPECT_EQ(steps, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // Deep nesting and repeats that would copy too much code are refused, not overflowed.
    Program large;
    std::string deep = std::string(100000, '(') + std::string(100000, ')');
    EXPECT_EQ(Compile(deep, false, false, large), CompileStatus::kTooLarge);
    EXPECT_EQ(Compile("(?:(?:(?:ab){100}){100}){100}", false, false, large),
              CompileStatus::kTooLarge);
    EXPECT_EQ(Compile("(?:(ab){100}){100}", false, false, large), CompileStatus::kOk);
    EXPECT_EQ(Compile("a{0,4000000000}b", false, false, large), CompileStatus::kOk);
}

// A long run of a single set keeps one choice; a loop of alternatives keeps one per
// iteration and stops at the bound of the matcher's stack rather than growing past it.
// A failed search that begins with a run costs a few steps a byte, not one a byte for
// every start.
TEST(Regex, LongSubjectsAndTheMatcherStack) {
    std::string subject((std::size_t{5} << 20) / 4, 'a');
    subject += "b";
    std::vector<std::size_t> at;
    for (const char* pattern : {"a*x", ".*?x", "\\w+@", "a+(?:b|c)+x"}) {
        Program program;
        ASSERT_EQ(Compile(pattern, false, false, program), CompileStatus::kOk);
        std::size_t steps = 16 * subject.size();
        EXPECT_EQ(Search(program, subject, 0, steps, at), MatchStatus::kNoMatch) << pattern;
    }
    Program simple;
    ASSERT_EQ(Compile("a*b$", false, false, simple), CompileStatus::kOk);
    std::size_t steps = SIZE_MAX;
    EXPECT_EQ(Search(simple, subject, 0, steps, at), MatchStatus::kMatch);
    EXPECT_EQ(at[1], subject.size());
    Program alternatives;
    ASSERT_EQ(Compile("(?:a|c)*b", false, false, alternatives), CompileStatus::kOk);
    EXPECT_EQ(Search(alternatives, subject, 0, steps, at), MatchStatus::kTooComplex);
}

}  // namespace
}  // namespace kz::script::regex
