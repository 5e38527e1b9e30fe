#include "platform/guid.h"

#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <set>
#include <thread>
#include <vector>

namespace kz::platform {
namespace {

TEST(Guid, QueuedMessageIdIsUpperCaseHexWithVersionFourBits) {
    const std::regex shape("[0-9A-F]{12}4[0-9A-F]{3}[89AB][0-9A-F]{15}\\.MAI");
    for (int i = 0; i < 100; ++i) {
        std::string id = newQueuedMessageId();
        EXPECT_TRUE(std::regex_match(id, shape)) << id;
    }
}

TEST(Guid, IdsAreUniqueAcrossThreads) {
    std::mutex lock;
    std::set<std::string> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                std::string id = newQueuedMessageId();
                std::lock_guard<std::mutex> guard(lock);
                seen.insert(id);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(seen.size(), 8000u);
}

}  // namespace
}  // namespace kz::platform
