#include "platform/guid.h"

#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <set>
#include <thread>
#include <vector>

namespace kz::platform {
namespace {

// Upper-case hexadecimal with the version 4 bits, and no repeat across threads.
TEST(Guid, QueuedMessageIdsHaveTheirShapeAndNeverRepeat) {
    const std::regex shape("[0-9A-F]{12}4[0-9A-F]{3}[89AB][0-9A-F]{15}\\.MAI");
    std::mutex lock;
    std::set<std::string> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                std::string id = newQueuedMessageId();
                std::lock_guard<std::mutex> guard(lock);
                if (seen.size() < 100) {
                    EXPECT_TRUE(std::regex_match(id, shape)) << id;
                }
                seen.insert(id);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(seen.size(), 8000u);
}

}  // namespace
}  // namespace kz::platform
