#include "host/agent.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "host/entry_guard.h"
#include "log/counters.h"
#include "support/test_support.h"

namespace kz::host {
namespace {

// Each Agent starts from its own state, and one made while another lives leaves the
// other's untouched once it is gone.
TEST(Agent, StateBelongsToTheAgentThatHoldsIt) {
    test::TempDir dir;
    const std::string registry = dir.file("registry.reg");
    Agent first(registry);
    config::RegWriteDword(config::kAgentKey, config::kCaseSensitivity, 1);
    config::RegWriteDword(config::kProductKey, config::kUpdateStatistics, 1);
    ASSERT_TRUE(config::machineRegistry()
                    .setString(config::kProductKey, config::kMailRoot, dir.file("first"))
                    .ok());
    config::ReadAttachSettings();
    config::ReadAttachDirectories();
    EXPECT_EQ(config::CaseSensitivity(), 1u);
    log::IncrementCounter(log::Counter::DkimScans);

    config::RegWriteDword(config::kAgentKey, config::kCaseSensitivity, 0);
    {
        Agent second(registry);
        EXPECT_EQ(config::CaseSensitivity(), 0u);
        EXPECT_EQ(config::CurrentDirectories()->mailRoot, "");
        EXPECT_EQ(log::CounterValue(log::Counter::DkimScans), 0u);
    }
    EXPECT_EQ(config::CaseSensitivity(), 1u);
    EXPECT_EQ(config::CurrentDirectories()->mailRoot, dir.file("first"));
    EXPECT_EQ(log::CounterValue(log::Counter::DkimScans), 1u);
}

// Whatever a run throws stays inside the library: the entry returns its fallback.
TEST(RunGuarded, NothingEscapesTheEntry) {
    EXPECT_EQ(
        RunGuarded("FilterExecute", 1, []() -> int { throw std::runtime_error("disk gone"); }), 1);
    EXPECT_EQ(RunGuarded("FilterInit", 0, []() -> int { throw 42; }), 0);
    EXPECT_EQ(RunGuarded("FilterCommand", 0, [] { return 7; }), 7);
}

}  // namespace
}  // namespace kz::host
