#include "log/counters.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "log/debug_log.h"
#include "platform/files.h"
#include "unit/log/log_test_env.h"

namespace kz::log {
namespace {

namespace reg = config::reg;

class CountersTest : public testing::LogTest {
  protected:
    void setStatistics(uint32_t value) {
        ASSERT_TRUE(config::RegWriteDword(reg::kProductKey, reg::kUpdateStatistics, value));
    }

    std::optional<uint32_t> registryCounter(std::string_view name) {
        uint32_t value = 0;
        if (!config::RegReadDword(reg::kCountersKey, name, value)) return std::nullopt;
        return value;
    }

    // What attach does with the counters once the settings are read.
    void writeAttachCounters() {
        WriteServiceStart();
        WriteProviderCountersAtAttach({.bayesian = true, .spamAssassin = false, .antivirus = true});
    }
};

TEST_F(CountersTest, AttachRestartsTheEnabledProvidersCountersAndStampsTheStart) {
    ASSERT_TRUE(config::RegWriteDword(reg::kCountersKey, reg::kBayesianTotalScans, 41));
    attach();
    writeAttachCounters();
    auto start = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    EXPECT_EQ(registryCounter(reg::kServiceStart), uint32_t(start));
    EXPECT_EQ(registryCounter(reg::kBayesianTotalScans), 0u);
    EXPECT_EQ(registryCounter(reg::kBayesianDetections), 0u);
    EXPECT_EQ(registryCounter(reg::kAntivirusTotalScans), 0u);
    EXPECT_EQ(registryCounter(reg::kAntivirusDetected), 0u);
    EXPECT_EQ(registryCounter(reg::kSaTotalScans), std::nullopt);
    EXPECT_EQ(registryCounter(reg::kDkimScans), std::nullopt);

    IncrementCounter(Counter::DkimScans);
    IncrementCounter(Counter::DkimScans);
    EXPECT_EQ(registryCounter(reg::kDkimScans), 2u);
}

TEST_F(CountersTest, StatisticsOffWritesNoCounterAtAll) {
    setStatistics(0);
    attach();
    writeAttachCounters();
    IncrementCounter(Counter::SaDetections);
    WriteCounter(reg::kSaTotalScans, 5);
    EXPECT_EQ(CounterValue(Counter::SaDetections), 0u);
    EXPECT_TRUE(config::machineRegistry().values(reg::kCountersKey).empty());
}

TEST_F(CountersTest, ConcurrentIncrementsAreAllCountedAndTheLastWriteHoldsTheTotal) {
    attach();
    constexpr int kThreads = 8;
    constexpr int kIncrements = 30;
    std::vector<std::thread> runs;
    for (int t = 0; t < kThreads; ++t)
        runs.emplace_back([] {
            for (int i = 0; i < kIncrements; ++i) IncrementCounter(Counter::BayesianTotalScans);
        });
    for (std::thread& run : runs) run.join();
    EXPECT_EQ(CounterValue(Counter::BayesianTotalScans), uint32_t(kThreads * kIncrements));
    EXPECT_EQ(registryCounter(reg::kBayesianTotalScans), uint32_t(kThreads * kIncrements));
}

// A registry whose writes fail while its reads still work: the registry's writer
// lock file cannot be opened when a folder stands in its place.
TEST_F(CountersTest, AnUnwritableCounterKeyIsReportedOncePerProcess) {
    attach();
    platform::removeFile(registryPath + ".lock");
    ASSERT_TRUE(platform::createDirectory(registryPath + ".lock"));
    ASSERT_FALSE(config::RegWriteDword(reg::kCountersKey, reg::kDkimScans, 1))
        << "the registry no longer fails writes this way; the test needs another way";

    writeAttachCounters();
    IncrementCounter(Counter::DkimScans);
    IncrementCounter(Counter::DkimDetections);
    EXPECT_EQ(CounterValue(Counter::DkimScans), 1u);

    const std::string report =
        "KZ-IXXXX: Unable to save queue statistics for service. The service account may not have "
        "permission to write to the registry path "
        "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER\\Counters, item Service "
        "Start\n";
    std::string log = todaysLog();
    size_t first = log.find(report);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("KZ-IXXXX", first + 1), std::string::npos) << log;
}

}  // namespace
}  // namespace kz::log
