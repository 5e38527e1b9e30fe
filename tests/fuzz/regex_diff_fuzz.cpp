// Differential fuzzing of the script engine's regular expressions against PCRE2 set up
// for the same syntax: every match of a global search, with its groups, must agree.
// Patterns whose meaning differs between the two by design are left out (see Differs);
// cases either side rejects, or gives up on as too costly, only have to run cleanly.
//
// Input: a flags byte (bit 0 ignore case, bit 1 multi-line), then the pattern, a form
// feed and the subject.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "fuzz_check.h"
#include "script/regex.h"

namespace {

namespace regex = kz::script::regex;

constexpr std::size_t kMaxMatches = 16;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Capturing groups, counted as loosely as needed to spot references beyond them.
std::size_t Opens(std::string_view pattern) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == '(' && (i == 0 || pattern[i - 1] != '\\')) ++n;
    return n;
}

bool Differs(std::string_view pattern, std::string_view subject, bool multiLine) {
    // Line breaks: ^ and $ here also take a carriage return; PCRE2 only a line feed.
    // PCRE2's ^ takes no line after a final line feed.
    if (multiLine && (subject.find('\r') != std::string_view::npos ||
                      (!subject.empty() && subject.back() == '\n')))
        return true;
    // [] matches nothing and [^] anything here; PCRE2 reads a leading ] as a member.
    // [: [. [= are POSIX classes there.
    for (std::string_view s : {"[]", "[^]", "[:", "[.", "[="})
        if (pattern.find(s) != std::string_view::npos) return true;
    // {,n} is a quantifier in newer PCRE2 releases, text here.
    if (pattern.find("{,") != std::string_view::npos) return true;
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '\\') continue;
        char e = pattern[++i];
        bool letter = (e | 0x20) >= 'a' && (e | 0x20) <= 'z';
        // PCRE2 gives other letters meanings of its own (\v \h \a \e \Q \K ...) or
        // rejects them; here they stand for themselves. \c before a non-letter is a
        // control escape there and a backslash here.
        if (letter && std::string_view("bBdDwWsStnrfxuc").find(e) == std::string_view::npos)
            return true;
        if (e == 'c' && (i + 1 == pattern.size() ||
                         !(((pattern[i + 1] | 0x20) >= 'a') && ((pattern[i + 1] | 0x20) <= 'z'))))
            return true;
        // Octal escapes and references beyond the groups follow other rules there.
        if (e == '0' || (IsDigit(e) && i + 1 < pattern.size() && IsDigit(pattern[i + 1])) ||
            (IsDigit(e) && std::size_t(e - '0') > Opens(pattern)))
            return true;
    }
    return false;
}

struct Outcome {
    bool complete = true;  // false when a side gave up
    std::vector<std::vector<std::size_t>> matches;
};

Outcome Ours(const regex::Program& program, std::string_view subject) {
    Outcome out;
    std::size_t steps = 200000;
    std::vector<std::size_t> at;
    std::size_t start = 0;
    while (start <= subject.size() && out.matches.size() < kMaxMatches) {
        regex::MatchStatus status = regex::Search(program, subject, start, steps, at);
        if (status == regex::MatchStatus::kTooComplex) out.complete = false;
        if (status != regex::MatchStatus::kMatch) break;
        out.matches.push_back(at);
        start = at[1] > at[0] ? at[1] : at[1] + 1;
    }
    return out;
}

Outcome Theirs(pcre2_code* code, std::string_view subject) {
    Outcome out;
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    pcre2_match_context* context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(context, 200000);
    pcre2_set_depth_limit(context, 5000);
    std::size_t start = 0;
    while (start <= subject.size() && out.matches.size() < kMaxMatches) {
        int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                             start, 0, data, context);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc <= 0) {
            out.complete = false;
            break;
        }
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
        uint32_t pairs = pcre2_get_ovector_count(data);
        std::vector<std::size_t> at(2 * pairs, regex::kNotSet);
        for (uint32_t k = 0; k < 2 * pairs; ++k)
            if (k / 2 < uint32_t(rc) && ov[k] != PCRE2_UNSET) at[k] = ov[k];
        out.matches.push_back(at);
        start = at[1] > at[0] ? at[1] : at[1] + 1;
    }
    pcre2_match_context_free(context);
    pcre2_match_data_free(data);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1 || size > 512) return 0;
    bool ignoreCase = data[0] & 1;
    bool multiLine = data[0] & 2;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t cut = rest.find('\f');
    std::string_view pattern = rest.substr(0, cut);
    std::string_view subject = cut == std::string_view::npos ? "" : rest.substr(cut + 1);

    regex::Program program;
    if (regex::Compile(pattern, ignoreCase, multiLine, program) != regex::CompileStatus::kOk)
        return 0;
    Outcome ours = Ours(program, subject);
    for (const auto& m : ours.matches) {
        KZ_FUZZ_CHECK(m.size() == 2 * (program.groups + 1));
        KZ_FUZZ_CHECK(m[0] <= m[1] && m[1] <= subject.size());
    }
    if (Differs(pattern, subject, multiLine)) return 0;

    // Without the start-up optimisations: PCRE2 10.42 misses (?=a)(a*)(a+) in "Xa)(a" when
    // it starts at offset 2.
    uint32_t options = PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_NO_START_OPTIMIZE;
    options |= multiLine ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
    if (ignoreCase) options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     options, &error, &offset, nullptr);
    if (!code) return 0;
    Outcome theirs = Theirs(code, subject);
    pcre2_code_free(code);
    if (!ours.complete || !theirs.complete) return 0;
    KZ_FUZZ_CHECK(ours.matches.size() == theirs.matches.size());
    for (std::size_t k = 0; k < ours.matches.size(); ++k)
        KZ_FUZZ_CHECK(ours.matches[k] == theirs.matches[k]);
    return 0;
}
