#include "log/dns_log_filter.h"

#include <gtest/gtest.h>

#include <optional>

#include "log/report_lines.h"
#include "platform/files.h"
#include "unit/log/log_test_env.h"

namespace kz::log {
namespace {

class DnsLogFilterTest : public testing::LogTest {};

TEST_F(DnsLogFilterTest, LevelsAboveTheSettingAreDropped) {
    struct Case {
        std::optional<uint32_t> setting;  // absent reads as 5
        uint32_t level;
        int result;
    };
    const Case cases[] = {
        {3, 3, 1}, {3, 4, 0}, {3, 0xFFFFFFFFu, 0}, {std::nullopt, 5, 1}, {std::nullopt, 6, 0},
    };
    const DnsLogFunction callback = &DnsLogFilter;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.setting.value_or(99) << " " << c.level);
        if (c.setting)
            setAgentDword(config::reg::kDebugLoggingLevel, *c.setting);
        else
            config::machineRegistry().deleteValue(config::reg::kAgentKey,
                                                  config::reg::kDebugLoggingLevel);
        attach();
        std::string text = "level " + std::to_string(c.level) + "\n";
        EXPECT_EQ(callback(0, 0, 0, c.level, text.c_str()), c.result);
        EXPECT_EQ(callback(0, 0, 0, 0, nullptr), 1);  // nothing to write, nothing breaks
        StopLogging();
        std::string expected = ReportOpeningLines("05/12/26 09:30:00");
        if (c.result) expected += "05/12/26 09:30:00\t" + text;
        expected += ReportEndLine("05/12/26 09:30:00");
        EXPECT_EQ(todaysLog(), expected);
        platform::removeFile(logFile("MTAFILTER-Report-260512.log"));
    }
}

}  // namespace
}  // namespace kz::log
