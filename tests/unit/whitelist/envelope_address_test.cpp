#include "whitelist/envelope_address.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace kz::whitelist {
namespace {

struct Case {
    std::string_view value;
    int result;
    std::string_view address;
};

using Helper = int (*)(std::string_view, std::string&, std::size_t);

void expectCases(Helper helper, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        std::string out = "old";
        EXPECT_EQ(helper(c.value, out, 2048), c.result) << c.value;
        EXPECT_EQ(out, c.address) << c.value;
    }
}

TEST(AddressFromEnvelopeValue, TextBetweenTypeAndBracket) {
    expectCases(
        AddressFromEnvelopeValue,
        {
            {"[SMTP:alice@example.com]", 1, "alice@example.com"},
            {"[SMTP:alice@example.com];[SMTP:bob@example.com]", 1, "alice@example.com"},
            {"[SMTP:]", 1, ""},
            {"[SMTP:alice@example.com", 0, ":alice@example.com"},
            {"alice@example.com", 0, "alice@example.com"},
            {"x]y[SMTP:alice@example.com]", 1, "alice@example.com"},  // a "]" before the type
            {"", 0, ""},
        });
}

TEST(AddressAfterType, TextAfterTypeLessTheClosingBracket) {
    expectCases(AddressAfterType,
                {
                    {"[SMTP:alice@example.com]", 1, "alice@example.com"},
                    {"[SMTP:alice@example.com", 1, "alice@example.com"},  // no bracket to drop
                    {"[SMTP:]", 1, ""},
                    {"[SMTP:", 1, ""},
                    {"alice@example.com", 0, "alice@example.com"},
                    {"", 0, ""},
                });
}

TEST(EnvelopeAddress, CutToTheCallersBuffer) {
    std::string out;
    EXPECT_EQ(AddressFromEnvelopeValue("[SMTP:alice@example.com]", out, 6), 1);
    EXPECT_EQ(out, "alice");
    EXPECT_EQ(AddressAfterType("[SMTP:alice@example.com]", out, 6), 1);
    EXPECT_EQ(out, "alice");
    EXPECT_EQ(AddressAfterType("[SMTP:alice@example.com]", out, 0), 1);
    EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace kz::whitelist
