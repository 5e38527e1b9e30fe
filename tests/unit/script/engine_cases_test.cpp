// The cases of tests/fixtures/script/engine_cases.txt: built-in functions, variant
// arithmetic and comparison, statements, lexical rules and errors, each run on its own.
#include <gtest/gtest.h>

#include <cctype>

#include "script_eval.h"
#include "support/case_file.h"

namespace kz::script::test {
namespace {

struct EngineCase {
    std::string group, run, text, expected, name;
    int line = 0;
};

void PrintTo(const EngineCase& c, std::ostream* os) {
    *os << c.run << " " << c.text;
}

std::vector<EngineCase> ReadEngineCases() {
    std::vector<EngineCase> cases;
    std::string group;
    for (const kz::test::CaseLine& c : kz::test::ReadCaseFile("script/engine_cases.txt")) {
        const std::vector<std::string>& f = c.fields;
        if (f[0].starts_with("[")) {
            group = f[0].substr(1, f[0].size() - 2);
        } else {
            cases.push_back({group, f[0], f.size() > 1 ? kz::test::Unescape(f[1]) : "",
                             f.size() > 2 ? f[2] : "", f.size() > 3 ? f[3] : "", c.number});
        }
    }
    return cases;
}

// The group and the case's name, or the letters and digits of its text (other runs as one
// "_") and its line.
std::string CaseName(const ::testing::TestParamInfo<EngineCase>& info) {
    const EngineCase& c = info.param;
    std::string name = c.group + "_" + c.name;
    if (!c.name.empty()) return name;
    for (std::size_t i = 0; i < c.text.size() && name.size() < 48; ++i) {
        if (std::isalnum(static_cast<unsigned char>(c.text[i])))
            name += c.text[i];
        else if (name.back() != '_')
            name += '_';
    }
    return name + (name.back() == '_' ? "" : "_") + std::to_string(c.line);
}

class EngineCaseTest : public ::testing::TestWithParam<EngineCase> {};

TEST_P(EngineCaseTest, GivesTheDocumentedResult) {
    const EngineCase& c = GetParam();
    std::string result = c.run == "eval"    ? Eval(c.text)
                         : c.run == "body"  ? RunBody(c.text)
                         : c.run == "error" ? ErrorOf(c.text)
                         : c.run == "code"  ? RunCode(c.text)
                                            : "unknown run '" + c.run + "'";
    EXPECT_EQ(result, c.expected) << "line " << c.line << ": " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineCaseTest, ::testing::ValuesIn(ReadEngineCases()), CaseName);

}  // namespace
}  // namespace kz::script::test
