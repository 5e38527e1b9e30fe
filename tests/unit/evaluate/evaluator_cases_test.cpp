// The evaluator cases of tests/fixtures/matching/evaluator_cases.txt, each run against a
// fresh copy of the real filter tables of tests/fixtures/matching, with a registry of its
// own (so the case setting is read afresh).

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "config/registry_keys.h"
#include "evaluate/evaluation.h"
#include "evaluate/evaluators_sender.h"
#include "evaluate/evaluators_text.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "host/message_driver.h"
#include "support/case_file.h"
#include "unit/config/config_fixture.h"
#include "unit/evaluate/criterion_met.h"

namespace kz::filters {
namespace {

// The fixture's filters by position: inline lists and word files on most kinds, a criteria
// script with several instances per kind, COUNTRY_NOMATCH with DE alone, and the same
// kinds disabled.
const std::map<std::string, int> kFilters = {
    {"lists", 1}, {"script", 2}, {"country", 3}, {"off", 4}};

// The delimiter sets of the message scan.
constexpr std::string_view kWordDelimiters = " \r'\"\n";
constexpr std::string_view kAddressDelimiters = "' \r'\"\n<>;";

const auto kEvaluatorCases = test::ReadCaseGroups("matching/evaluator_cases.txt");

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& [name, lines] : kEvaluatorCases) names.push_back(name);
    return names;
}

class EvaluatorCase : public test::ConfigTest, public testing::WithParamInterface<std::string> {
  protected:
    // Loads a fresh copy of the fixture configuration, so that cases may change its files.
    void load(bool caching) {
        table = FilterTable();
        std::filesystem::remove_all(configDir());
        std::filesystem::copy(test::fixture("matching/config"), configDir(),
                              std::filesystem::copy_options::recursive);
        testing::internal::CaptureStdout();
        LoadFilterTable(table, LoadOptions{configDir(), caching});
        AllocateResults(table, results);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(table.filterCount(), 4);
    }

    std::string configDir() const { return dir_.file("config"); }

    // Runs an evaluation and returns the trace it wrote.
    template <typename Evaluate>
    std::string traceOf(Evaluate&& evaluate) {
        testing::internal::CaptureStdout();
        evaluate();
        return testing::internal::GetCapturedStdout();
    }

    FilterTable table;
    CriteriaResults results;
    MessageContext context;
    evaluate::Evaluation evaluation{table, results, &context};
};

TEST_P(EvaluatorCase, HoldsItsChecks) {
    constexpr std::string_view kPlainNameDelimiters = "\r'\"\n;";
    std::optional<test::RestartedSettings> restarted;
    std::string trace;  // written since the last trace step
    load(false);
    for (const test::CaseLine& line : kEvaluatorCases.at(GetParam())) {
        SCOPED_TRACE(testing::Message() << "line " << line.number);
        std::vector<std::string> f = line.fields;
        for (std::string& field : f) field = test::Unescape(field);
        const std::string& step = f[0];
        auto kind = [&](std::size_t at) {
            const int k = CriterionFromKeyword(f.at(at));
            EXPECT_GE(k, 0) << f.at(at);
            return CriterionType(std::max(k, 0));
        };
        if (step == "load") {
            load(f[1] == "cached");
            trace.clear();
        } else if (step == "offer") {
            trace += traceOf([&] {
                evaluation.offer(kind(1), f[3],
                                 f[2] == "addresses" ? kAddressDelimiters : kWordDelimiters);
            });
        } else if (step == "attachment") {
            trace += traceOf([&] { evaluation.offerAttachmentLine(f[1], kPlainNameDelimiters); });
        } else if (step == "presence") {
            trace += traceOf([&] { evaluation.offerPresence(evaluate::NamesAnAttachment(f[1])); });
        } else if (step == "sender") {
            context.sender = f[1];
        } else if (step == "envelope") {
            context.recipients = f[1];
            context.clientIp = f[2];
            context.account = f[3];
            context.connectorName = f[4];
            trace += traceOf([&] { evaluate::EvaluateEnvelopeCriteria(evaluation); });
        } else if (step == "file") {
            test::writeFile(configDir() + "/FILTERS/PATTERNS/" + f[1], f[2]);
        } else if (step == "setting") {
            restarted.emplace();
            setDword(config::kAgentKey, f[1], uint32_t(std::stoul(f[2])));
        } else if (step == "new") {
            AllocateResults(table, results);
        } else if (step == "trace" || step == "traceholds" || step == "notrace") {
            if (step == "trace") {
                EXPECT_EQ(trace, f[1]);
            } else {
                EXPECT_EQ(trace.find(f[1]) != std::string::npos, step == "traceholds") << trace;
            }
            trace.clear();
        } else {
            const MatchResultBlock& result = results.block(kFilters.at(f[1]));
            if (step == "met")
                EXPECT_EQ(test::Met(result, kind(2)), f[3] + " " + f[4]);
            else if (step == "hits")
                EXPECT_EQ(result.hitCount[kind(2)], std::stoi(f[3]));
            else if (step == "instance")
                EXPECT_EQ(result.instanceValue[kind(2)][std::stoul(f[3])], f[4]);
            else
                ADD_FAILURE() << "unknown step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EvaluatorCase, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

// The reading of the value is AddressLessLastCharacter's; here the cut and no message.
TEST(SenderTokenAddress, IsCutToTheSenderBufferAndEmptyWithoutAMessage) {
    MessageContext longSender;
    longSender.sender = "[SMTP:" + std::string(600, 'a') + "]";
    EXPECT_EQ(evaluate::SenderTokenAddress(&longSender), std::string(511, 'a'));
    EXPECT_EQ(evaluate::SenderTokenAddress(nullptr), "");
}

}  // namespace
}  // namespace kz::filters
