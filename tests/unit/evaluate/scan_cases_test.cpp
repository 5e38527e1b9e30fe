// The scans of tests/fixtures/scan/scan_cases.txt, each case on a fresh configuration.

#include "support/case_file.h"
#include "unit/evaluate/scan_fixture.h"

namespace kz {
namespace {

using namespace filters;

const auto kScanCases = test::ReadCaseGroups("scan/scan_cases.txt");

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& [name, lines] : kScanCases) names.push_back(name);
    return names;
}

bool IsCheck(const std::string& step) {
    return step != "scan" && step != "data" && step != "setting";
}

class ScanCase : public ScanTest, public testing::WithParamInterface<std::string> {
  protected:
    // Checks one line of a case against the last scan.
    void check(const std::vector<std::string>& f, const ScanOutcome& outcome) {
        const std::string& step = f[0];
        if (step == "result") {
            EXPECT_EQ(outcome.result, std::stoi(f[1]));
        } else if (step == "trace" || step == "notrace") {
            EXPECT_EQ(outcome.trace.find(test::Unescape(f[1])) != std::string::npos,
                      step == "trace")
                << outcome.trace;
        } else if (step == "traces") {
            const std::string text = test::Unescape(f[2]);
            int found = 0;
            for (auto at = outcome.trace.find(text); at != std::string::npos;
                 at = outcome.trace.find(text, at + 1))
                ++found;
            EXPECT_EQ(found, std::stoi(f[1]));
        } else {
            const int kind = CriterionFromKeyword(f[1]);
            ASSERT_GE(kind, 0) << f[1];
            const MatchResultBlock& block = results.block(1);
            if (step == "hits" && f[2].ends_with('+'))
                EXPECT_GE(block.hitCount[kind], std::stoi(f[2]));
            else if (step == "hits")
                EXPECT_EQ(block.hitCount[kind], std::stoi(f[2]));
            else if (step == "match")
                EXPECT_EQ(block.matchText[kind], test::Unescape(f[2]));
            else if (step == "instance")
                EXPECT_EQ(block.instanceValue[kind][0], f[2]);
            else
                ADD_FAILURE() << "unknown step " << step;
        }
    }
};

TEST_P(ScanCase, HoldsItsChecks) {
    const std::vector<test::CaseLine>& lines = kScanCases.at(GetParam());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string>& f = lines[i].fields;
        if (f[0] == "data") {
            setCriterionData(CriterionFromKeyword(f[1]), test::Unescape(f[2]));
        } else if (f[0] == "setting") {
            setAgentDword(f[1], uint32_t(std::stoul(f[2])));
        } else {
            ASSERT_EQ(f[0], "scan") << "line " << lines[i].number;
            std::size_t end = i + 1;
            while (end < lines.size() && IsCheck(lines[end].fields[0])) ++end;
            for (bool mime : {false, true}) {
                if (f[2] != "both" && (f[2] == "mime") != mime) continue;
                const ScanOutcome outcome = scan(f[1], mime);
                for (std::size_t j = i + 1; j < end; ++j) {
                    SCOPED_TRACE(testing::Message() << "line " << lines[j].number << ", "
                                                    << (mime ? "mime" : "plain"));
                    check(lines[j].fields, outcome);
                }
            }
            i = end - 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ScanCase, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
}  // namespace kz
