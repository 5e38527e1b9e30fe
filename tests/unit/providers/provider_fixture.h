#pragma once
// Provider tests: stand-in provider libraries copied into an Application Directory of
// their own under the names the agent loads, a filter table written for the test and a
// queued message, all reached through the registry as at attach.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "config/directories.h"
#include "config/registry_keys.h"
#include "config/settings.h"
#include "evaluate/evaluation.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "log/counters.h"
#include "providers/scan_providers.h"
#include "unit/evaluate/criterion_met.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {

namespace reg = config::reg;

class ProviderTest : public QueueTest {
  protected:
    void SetUp() override {
        QueueTest::SetUp();
        std::filesystem::create_directories(appDir());
        std::filesystem::create_directories(configDir() + "/FILTERS/CRITERIA");
        setString(reg::kProductKey, reg::kApplicationDirectory, appDir());
        setString(reg::kProductKey, reg::kConfigurationDirectory, configDir());
        setDword(reg::kAgentKey, reg::kActivityLogEnabled, 2);  // debug log on stdout
        queueMessage("all_keys.cmd", "plain.eml");
    }

    void TearDown() override {
        providers::ReleaseScanProviders();
        table = filters::FilterTable();
        QueueTest::TearDown();
    }

    std::string appDir() const { return dir_.file("app"); }
    std::string configDir() const { return dir_.file("config"); }

    // Places the stand-in library `stub` (from the test libraries) as `name`.so.
    void install(const std::string& stub, const std::string& name) {
        std::filesystem::copy_file(testLibPath(stub + ".so"),
                                   appDir() + "/" + name + ".so");
    }
    void answer(const std::string& name, const std::string& reply) {
        writeFile(appDir() + "/" + name + ".reply", reply);
    }
    // The calls a library noted, one per line: "entry|request|reply length".
    std::vector<std::string> calls(const std::string& name) const {
        std::vector<std::string> lines;
        std::istringstream in(readFile(appDir() + "/" + name + ".calls"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Attach as far as the providers go; returns the console lines.
    std::string attach() {
        config::ReadAttachSettings();
        config::ReadAttachDirectories();
        counters.reset();  // each attach counts from 0
        counters.emplace();
        testing::internal::CaptureStdout();
        providers::LoadScanProviders();
        if (config::Settings().antivirusStatus != 0) providers::LoadAntivirusProvider();
        return testing::internal::GetCapturedStdout();
    }

    // FILTER.TAB with one filter per criteria table, each given as the lines of the kinds
    // it sets, "enabled<TAB>KIND<TAB>data" (threshold 1); the other kinds are disabled.
    void filters(const std::vector<std::vector<std::string>>& criteria) {
        std::string filterTab;
        for (std::size_t i = 0; i < criteria.size(); ++i) {
            const std::string name = "F" + std::to_string(i + 1);
            filterTab += name + "\t1\t" + name + "\t\t" + name + "\t\t0\r\n";
            std::vector<std::string> lines;
            for (const filters::CriterionKind& kind : filters::kCriterionKinds)
                lines.push_back("0\t" + std::string(kind.keyword) + "\t");
            for (const std::string& line : criteria[i]) {
                const std::size_t start = line.find('\t') + 1;
                const std::string keyword = line.substr(start, line.find('\t', start) - start);
                lines.at(std::size_t(filters::CriterionFromKeyword(keyword))) = line;
            }
            std::string text;
            for (const std::string& line : lines) text += line + "\t\t\t1\r\n";
            writeFile(configDir() + "/FILTERS/CRITERIA/" + name + ".TAB", text);
        }
        writeFile(configDir() + "/FILTERS/FILTER.TAB", filterTab);
        table = filters::FilterTable();
        testing::internal::CaptureStdout();
        filters::LoadFilterTable(table, filters::LoadOptions{configDir(), false});
        testing::internal::GetCapturedStdout();
        filters::AllocateResults(table, results);
    }

    const filters::MatchResultBlock& block(int position) const { return results.block(position); }

    // Runs one evaluator over the table for the message.
    void evaluate(MessageContext& m, void (*evaluator)(evaluate::Evaluation&)) {
        evaluate::Evaluation evaluation(table, results, &m);
        evaluator(evaluation);
    }

    uint32_t counter(std::string_view name) {
        uint32_t value = 0;
        config::RegReadDword(reg::kCountersKey, name, value);
        return value;
    }

    MessageContext message() const {
        MessageContext c = context();
        c.sender = "[SMTP:alice@example.org]";
        return c;
    }

    std::optional<InstalledObject<log::Counters>> counters;
    filters::FilterTable table;
    filters::CriteriaResults results;
    // For evaluators that read no message.
    evaluate::Evaluation evaluation{table, results, nullptr};
};

}  // namespace kz::test
