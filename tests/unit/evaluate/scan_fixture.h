#pragma once
// Scans of real message files, placed in a connector's Inbound queue, against the filter
// table of tests/fixtures/scan/config (one filter, most text kinds enabled).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/directories.h"
#include "config/registry_keys.h"
#include "evaluate/scan.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "support/test_support.h"
#include "unit/config/config_fixture.h"
#include "unit/evaluate/criterion_met.h"

namespace kz {

struct ScanOutcome {
    int result = 0;
    std::string trace;
};

class ScanTest : public test::ConfigTest {
  protected:
    void SetUp() override {
        test::ConfigTest::SetUp();
        std::filesystem::copy(test::fixture("scan/config"), dir_.file("config"),
                              std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(messagesDir());
        setString(config::kConnectorsKey, config::kConnectorRootDirectory, dir_.file("connectors"));
        config::ReadRunDirectories();
        testing::internal::CaptureStdout();
        filters::LoadFilterTable(table, filters::LoadOptions{dir_.file("config"), false});
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(table.filterCount(), 1);
    }

    // Loads the table again after a test changed the copied SCAN.TAB.
    void setCriterionData(int kind, const std::string& data) {
        const std::string path = dir_.file("config") + "/FILTERS/CRITERIA/SCAN.TAB";
        std::string text = test::readFile(path);
        std::size_t start = 0;
        for (int line = 0; line < kind; ++line) start = text.find('\n', start) + 1;
        const std::size_t dataStart = text.find('\t', text.find('\t', start) + 1) + 1;
        text.replace(dataStart, text.find('\t', dataStart) - dataStart, data);
        test::writeFile(path, text);
        filters::ReleaseFilterTable(table);
        testing::internal::CaptureStdout();
        filters::LoadFilterTable(table, filters::LoadOptions{dir_.file("config"), false});
        testing::internal::GetCapturedStdout();
    }

    void setAgentDword(std::string_view name, uint32_t value) {
        setDword(config::kAgentKey, name, value);
    }

    // Scans the fixture message (or a message the test put in the queue) with fresh
    // results; mime picks the scanner.
    ScanOutcome scan(const std::string& message, bool mime) {
        const std::string fixture = test::fixture("scan/messages/" + message);
        if (!message.empty() && std::filesystem::exists(fixture)) {
            std::filesystem::copy_file(fixture, messagesDir() + "/" + message,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        context = MessageContext{};
        context.connectorName = "SMTP";
        context.messageId = message.empty() ? "missing.eml" : message;
        filters::AllocateResults(table, results);
        testing::internal::CaptureStdout();
        ScanOutcome outcome;
        evaluate::Evaluation evaluation(table, results, &context);
        outcome.result = mime ? kz::evaluate::ScanMessageMime(evaluation)
                              : kz::evaluate::ScanMessagePlain(evaluation);
        outcome.trace = testing::internal::GetCapturedStdout();
        return outcome;
    }

    int hits(filters::CriterionType kind) const { return results.block(1).hitCount[kind]; }
    const std::string& match(filters::CriterionType kind) const {
        return results.block(1).matchText[kind];
    }
    std::string met(filters::CriterionType kind) const { return test::Met(results.block(1), kind); }

    std::string messagesDir() const { return dir_.file("connectors") + "/SMTP/Inbound/Messages"; }

    filters::FilterTable table;
    filters::CriteriaResults results;
    MessageContext context;
};

}  // namespace kz
