// The registry file shared by several processes.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/files.h"
#include "platform/registry.h"
#include "support/test_support.h"

namespace kz::platform {
namespace {

constexpr const char* kKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

std::string helper() {
    return test::binPath("kztest-registry_tool");
}

// Polls until `done` holds; false after a generous bound, so a fault fails, not hangs.
template <typename Condition>
bool waitFor(Condition done) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<std::string> temporaries(const std::string& dir) {
    std::vector<std::string> names = listDirectory(dir);
    std::erase_if(names, [](const std::string& name) { return name.find(".tmp.") == name.npos; });
    return names;
}

// Two processes, each writing from two threads through one Registry object.
TEST(RegistryProcesses, TwoWritersLoseNoValue) {
    test::TempDir dir;
    std::string path = dir.file("r.reg");
    auto writer = [&](const char* prefix) {
        return std::async(std::launch::async, [=] {
            return test::run({helper(), "set-many", path, kKey, prefix, "60", "2"});
        });
    };
    auto first = writer("First ");
    auto second = writer("Second ");
    EXPECT_EQ(first.get().status, 0);
    EXPECT_EQ(second.get().status, 0);

    Registry registry(path);
    EXPECT_EQ(registry.values(kKey).size(), 120u);
    for (int i = 0; i < 60; ++i) {
        for (const char* prefix : {"First ", "Second "}) {
            auto value = registry.query(kKey, prefix + std::to_string(i));
            ASSERT_TRUE(value) << prefix << i;
            EXPECT_EQ(value->asDword(), uint32_t(i));
        }
    }
}

TEST(RegistryProcesses, AReaderInAnotherProcessSeesTheChangeAtItsNextRead) {
    test::TempDir dir;
    std::string path = dir.file("r.reg");
    Registry registry(path);
    ASSERT_TRUE(registry.setDword(kKey, "Reload", 1).ok());
    std::string ready = dir.file("ready"), go = dir.file("go");
    auto watcher = std::async(std::launch::async, [&] {
        return test::run({helper(), "watch", path, kKey, "Reload", ready, go});
    });
    ASSERT_TRUE(waitFor([&] { return test::exists(ready); }));
    ASSERT_TRUE(registry.setDword(kKey, "Reload", 2).ok());  // same size as before
    test::writeFile(go, "");
    test::RunOutput out = watcher.get();
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out, "1\n2\n");
}

TEST(RegistryProcesses, AKilledWriterNeverLeavesATornFile) {
    test::TempDir dir;
    std::string path = dir.file("r.reg");
    for (int round = 0; round < 4; ++round) {
        ::unlink(path.c_str());
        test::Child writer({helper(), "churn", path, kKey});
        // Let it rewrite the file a varying number of times, then kill it mid-work.
        Registry watcher(path);
        std::size_t wanted = std::size_t(5 + 25 * round);
        bool progressed = waitFor([&] { return watcher.values(kKey).size() >= wanted; });
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 3));
        writer.signal(SIGKILL);
        EXPECT_EQ(writer.wait(), -1);  // killed, not finished
        ASSERT_TRUE(progressed);

        std::vector<RegKey> keys;
        RegResult parsed = parseRegText(test::readFile(path), keys);
        ASSERT_TRUE(parsed.ok()) << "round " << round << ": " << parsed.message;
        ASSERT_EQ(keys.size(), 1u);
        for (const RegValue& value : keys[0].values) {
            EXPECT_EQ(value.asString().size(), value.data.size() - 1) << value.name;
        }
    }
    // The next write clears what a killed writer left behind.
    ASSERT_TRUE(Registry(path).setDword(kKey, "After", 1).ok());
    EXPECT_EQ(temporaries(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kz::platform
