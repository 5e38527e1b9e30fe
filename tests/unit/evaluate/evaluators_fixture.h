#pragma once
// Evaluator tests run against real filter tables loaded from tests/fixtures/matching,
// each with a registry of its own (so the case setting is read afresh).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "evaluate/evaluation.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"
#include "support/test_support.h"
#include "unit/config/config_fixture.h"
#include "unit/evaluate/criterion_met.h"

namespace kz::filters {

// Positions of the fixture's filters.
constexpr int kLists = 1;    // inline lists and word files on most kinds
constexpr int kScript = 2;   // a criteria script with several instances per kind
constexpr int kCountry = 3;  // COUNTRY_NOMATCH with DE alone
constexpr int kOff = 4;      // the same kinds, disabled

class EvaluatorTest : public test::ConfigTest {
  protected:
    // Loads a fresh copy of the fixture configuration, so that tests may change its files.
    void load(bool caching) {
        table = FilterTable();
        std::filesystem::remove_all(configDir());
        std::filesystem::copy(test::fixture("matching/config"), configDir(),
                              std::filesystem::copy_options::recursive);
        testing::internal::CaptureStdout();
        LoadFilterTable(table, LoadOptions{configDir(), caching});
        newResults();
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(table.filterCount(), 4);
    }

    // Empty results for another message of the same run setup.
    void newResults() { AllocateResults(table, results); }

    std::string configDir() const { return dir_.file("config"); }
    std::string patternFile(const std::string& name) const {
        return configDir() + "/FILTERS/PATTERNS/" + name;
    }

    const MatchResultBlock& block(int position) const { return results.block(position); }

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

// The delimiter sets of the message scan.
constexpr std::string_view kWordDelimiters = " \r'\"\n";
constexpr std::string_view kAddressDelimiters = "' \r'\"\n<>;";

}  // namespace kz::filters
