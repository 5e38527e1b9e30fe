#include "message/envelope_address.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kz
