#include "base/text_limit.h"

#include <gtest/gtest.h>

namespace kz {
namespace {

// A buffer of N bytes holds N-1 characters; one of 0 bytes holds none.
static_assert(TextLimit{4}.cut("abcdef") == "abc" && TextLimit{0}.cut("abc").empty());
static_assert(TextLimit{4}.wholeOrEmpty("abc") == "abc" &&
              TextLimit{4}.wholeOrEmpty("abcd").empty());

TEST(TextLimit, AssignReportsACutAndAppendKeepsTheLimit) {
    std::string out;
    EXPECT_TRUE(TextLimit{4}.assign(out, "abc"));
    EXPECT_FALSE(TextLimit{4}.assign(out, "abcd"));
    EXPECT_EQ(out, "abc");
    out = "ab";
    TextLimit{4}.append(out, "cd");
    TextLimit{4}.append(out, "e");
    EXPECT_EQ(out, "abc");
    TextLimit{0}.append(out, "x");
    EXPECT_EQ(out, "abc");
}

}  // namespace
}  // namespace kz
