#pragma once
// The action dispatcher over filters written for each case: a configuration directory of
// its own, a queued message from a spammer, and hit counts or instance values set by hand
// as the evaluators would leave them.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "actions/action_dispatcher.h"
#include "filters/criterion_type.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {

class DispatchTest : public QueueTest {
  protected:
    void SetUp() override {
        QueueTest::SetUp();
        setString(config::kProductKey, config::kConfigurationDirectory, dir_.file("config"));
        config::ReadRunDirectories();
        queueMessage("all_keys.cmd", "plain.eml");
        ctx = context();
        ctx.sender = "[SMTP:spammer@example.org]";
        ctx.clientIp = "192.0.2.7";
        ctx.subject = "Win now";
    }

    // Writes FILTER.TAB and the named files below FILTERS, then loads them afresh.
    void configure(const std::string& filterTable,
                   const std::vector<std::pair<std::string, std::string>>& files) {
        writeFile(dir_.file("config/FILTERS/FILTER.TAB"), filterTable);
        for (const auto& [name, text] : files) writeFile(dir_.file("config/FILTERS/" + name), text);
        table = {};
        results = {};
        filters::LoadOptions options;
        options.configurationDirectory = dir_.file("config");
        testing::internal::CaptureStdout();
        filters::LoadFilterTable(table, options);
        testing::internal::GetCapturedStdout();
        filters::AllocateResults(table, results);
    }

    // Runs the actions of every filter that holds, keeping the trace and the report line.
    int dispatch() {
        testing::internal::CaptureStdout();
        int result = actions::ExecuteFilterActions(ctx, table, results, report, TextLimit{2048});
        trace = testing::internal::GetCapturedStdout();
        return result;
    }

    bool quarantined() const { return exists(quarantine() + "/" + std::string(kMessageId)); }

    filters::FilterTable table;
    filters::CriteriaResults results;
    MessageContext ctx;
    std::string report, trace;
};

}  // namespace kz::test
