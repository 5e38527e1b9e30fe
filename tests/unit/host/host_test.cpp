// The agent's state, the guard around its entries, and the control of runs and reloads.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "host/agent.h"
#include "host/entry_guard.h"
#include "host/run_control.h"
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

using namespace std::chrono_literals;

// Each load makes a table of `generation` filters, so runs can tell tables apart.
// `pause` is the length of one bounded pause.
struct Fixture {
    explicit Fixture(std::chrono::milliseconds pause)
        : control(
              [this](filters::FilterTable& table) {
                  whileReading();
                  int n = ++generation;
                  table.filters.resize(std::size_t(n));
              },
              pause) {}

    std::atomic<int> generation{0};
    std::function<void()> whileReading = [] {};
    RunControl control;
    std::atomic<bool> reloadFlag{false};
    std::atomic<int> clears{0};

    TableLease begin() {
        return control.beginRun([this] { return reloadFlag.load(); },
                                [this] {
                                    reloadFlag = false;
                                    ++clears;
                                });
    }
};

TEST(RunControl, ReloadWithNoOtherRunIsImmediateAndClearsTheRequest) {
    Fixture f{10s};  // a wait would hang the test
    f.control.loadInitialTable();
    f.reloadFlag = true;
    TableLease lease = f.begin();
    EXPECT_EQ(lease->filterCount(), 2);
    EXPECT_EQ(f.clears, 1);
    EXPECT_FALSE(f.reloadFlag);
    EXPECT_FALSE(f.control.reloadInProgress());
    EXPECT_EQ(f.control.reloadWaitsRunOut(), 0);
}

TEST(RunControl, ARequestMadeWhileTheFilesAreReadIsKeptForTheNextRun) {
    Fixture f{10s};
    f.control.loadInitialTable();
    f.reloadFlag = true;
    f.whileReading = [&] {
        // Another process asks again while this reload reads the files.
        std::thread([&] { f.reloadFlag = true; }).join();
        f.whileReading = [] {};
    };
    EXPECT_EQ(f.begin()->filterCount(), 2);
    EXPECT_TRUE(f.reloadFlag);
    EXPECT_EQ(f.begin()->filterCount(), 3);
    EXPECT_FALSE(f.reloadFlag);
}

TEST(RunControl, RunInFlightKeepsItsTableAfterTheReloadWaitRunsOut) {
    Fixture f{1ms};
    f.control.loadInitialTable();
    TableLease old = f.begin();
    ASSERT_EQ(old->filterCount(), 1);

    f.reloadFlag = true;
    TableLease fresh = f.begin();  // waits 180 short pauses for `old`, then reloads anyway
    EXPECT_EQ(fresh->filterCount(), 2);
    EXPECT_EQ(f.control.reloadWaitsRunOut(), 1);

    // The old table is still whole for the run that holds it (the sanitizer build would
    // report a use after free here).
    EXPECT_EQ(old->filterCount(), 1);
    EXPECT_EQ(old->filter(1).slots.size(), 27u);
}

TEST(RunControl, ReloadWaitsForHoldersOfTheOldTableOnly) {
    Fixture f{5s};
    f.control.loadInitialTable();

    std::promise<void> holding, release;
    std::thread holder([&] {
        TableLease lease = f.begin();
        holding.set_value();
        release.get_future().wait();
    });
    holding.get_future().wait();

    f.reloadFlag = true;
    auto reload = std::async(std::launch::async, [&] { return f.begin()->filterCount(); });
    while (!f.control.reloadInProgress()) std::this_thread::yield();

    // A new run waits at the entry while the reload is in progress...
    auto entry = std::async(std::launch::async, [&] {
        f.control.waitWhileReloading();
        return f.control.reloadInProgress();
    });
    EXPECT_EQ(entry.wait_for(50ms), std::future_status::timeout);

    // ...and a run that counted itself but holds no table does not delay the reload.
    RunControl::ActiveRun counted(f.control);
    release.set_value();
    holder.join();
    EXPECT_EQ(reload.get(), 2);
    EXPECT_FALSE(entry.get());
    EXPECT_EQ(f.control.reloadWaitsRunOut(), 0);
}

// Many runs on several threads during reloads: DispatchReload in tests/e2e/dispatch_test.cpp.

}  // namespace
}  // namespace kz::host
