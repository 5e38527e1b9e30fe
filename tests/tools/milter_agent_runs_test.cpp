// Agent runs under the milter's bounds: a transaction never waits longer than the
// timeout, and a run that overstays cleans up after itself when it ends.

#include "milter_agent_runs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "agent_library.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

using namespace std::chrono_literals;
using tool::AgentRuns;

TEST(MilterAgentRuns, ARunOverTheTimeoutAnswersAtTheBoundAndCleansUpWhenItEnds) {
    tool::AgentLibrary agent(testLibPath("kzstub_agent.so"));
    AgentRuns runs(agent, 1, 1s);
    std::atomic<int> cleaned{0};
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runs.run("SLOW.MAI", "SMTP", [&] { ++cleaned; }), AgentRuns::Result::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1900ms);
    EXPECT_EQ(cleaned, 0);
    // The one slot is still held by the slow run: the next waits at most its bound.
    EXPECT_EQ(runs.run("QUICK.MAI", "SMTP", [&] { ++cleaned; }), AgentRuns::Result::Busy);
    ASSERT_TRUE(runs.waitIdle(5s));
    EXPECT_EQ(cleaned, 1);
    EXPECT_EQ(runs.run("QUICK.MAI", "SMTP", [&] { ++cleaned; }), AgentRuns::Result::Done);
    EXPECT_EQ(cleaned, 1);
}

}  // namespace
}  // namespace kz::test
