#include "message/envelope_address.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace kz {
namespace {

TEST(ExtractEnvelopeAddress, TakesTheTextBetweenTheFirstColonAndTheFirstBracket) {
    struct Case {
        std::string_view text;
        std::size_t size;
        std::string_view expected;  // "(kept)" leaves the destination as it was
    };
    for (Case c : {Case{"[SMTP:carl@example.net]", 256, "carl@example.net"},
                   {"[SMTP:a@b]; [SMTP:c@d]", 256, "a@b"},
                   {"[X400:c=de;a=x:y]", 256, "c=de;a=x:y"},
                   {"[SMTP:]", 256, ""},
                   {"carl@example.net", 256, "(kept)"},
                   {"[SMTP:carl@example.net", 256, "(kept)"},
                   {"] before [SMTP:x@y", 256, "(kept)"},
                   {"[SMTP:carl@example.net]", 5, "carl"}}) {
        std::string destination = "(kept)";
        ExtractEnvelopeAddress(c.text, destination, c.size);
        EXPECT_EQ(destination, c.expected) << c.text;
    }
}

TEST(ExtractEnvelopeAddress, CutsToTheLengthOfAnAddressBuffer) {
    std::string destination;
    ExtractEnvelopeAddress("[SMTP:" + std::string(2000, 'a') + "]", destination, 4096);
    EXPECT_EQ(destination, std::string(1023, 'a'));
}

TEST(AppendEnvelopeRecipient, JoinsWithSemicolonAndWrapsBareAddresses) {
    std::string recipients;
    AppendEnvelopeRecipient(recipients, "anna@example.com");
    AppendEnvelopeRecipient(recipients, "[X400:c=de]");
    EXPECT_EQ(recipients, "[SMTP:anna@example.com];[X400:c=de]");
}

struct ValueCase {
    std::string_view value;
    int result;
    std::string_view address;
};

using Helper = int (*)(std::string_view, std::string&, std::size_t);

void expectCases(Helper helper, std::initializer_list<ValueCase> cases) {
    for (const ValueCase& c : cases) {
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

TEST(AddressLessLastCharacter, DropsWhateverEndsTheValue) {
    EXPECT_EQ(AddressLessLastCharacter("[SMTP:a@example.com]"), "a@example.com");
    EXPECT_EQ(AddressLessLastCharacter("a@example.com"), "a@example.com");  // no type
    EXPECT_EQ(AddressLessLastCharacter("SMTP:"), "");  // nothing after the colon
}

}  // namespace
}  // namespace kz
