#include "host/entry_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kz::host {
namespace {

// Whatever a run throws stays inside the library: the entry returns its fallback.
TEST(RunGuarded, NothingEscapesTheEntry) {
    EXPECT_EQ(RunGuarded("FilterExecute", 1, []() -> int { throw std::runtime_error("disk gone"); }), 1);
    EXPECT_EQ(RunGuarded("FilterInit", 0, []() -> int { throw 42; }), 0);
    EXPECT_EQ(RunGuarded("FilterCommand", 0, [] { return 7; }), 7);
}

}  // namespace
}  // namespace kz::host
