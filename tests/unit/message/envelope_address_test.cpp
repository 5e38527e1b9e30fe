#include "message/envelope_address.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "message/envelope_fields.h"
#include "support/case_file.h"

namespace kz {
namespace {

const auto kCases = test::ReadCaseGroups("queue/envelope_address_cases.txt");

TEST(ExtractEnvelopeAddress, TakesTheTextBetweenTheFirstColonAndTheFirstBracket) {
    EXPECT_EQ(kCases.at("ExtractEnvelopeAddress").size(), 8u);
    for (const test::CaseLine& c : kCases.at("ExtractEnvelopeAddress")) {
        std::string destination = "(kept)";
        ExtractEnvelopeAddress(c.fields[0], destination, TextLimit{std::stoul(c.fields[1])});
        EXPECT_EQ(destination, c.fields[2]) << "line " << c.number;
    }
    // Cut to the length of an address buffer, whatever the caller's size.
    std::string destination;
    ExtractEnvelopeAddress("[SMTP:" + std::string(2000, 'a') + "]", destination, TextLimit{4096});
    EXPECT_EQ(destination, std::string(1023, 'a'));
}

TEST(AppendEnvelopeRecipient, JoinsWithSemicolonAndWrapsBareAddresses) {
    std::string recipients;
    AppendEnvelopeRecipient(recipients, "anna@example.com");
    AppendEnvelopeRecipient(recipients, "[X400:c=de]");
    EXPECT_EQ(recipients, "[SMTP:anna@example.com];[X400:c=de]");
}

// The cases of one reading: value, result, address; then the same cut to a short buffer.
TEST(EnvelopeAddress, ReadingsOfTheValue) {
    using Reading = bool (*)(std::string_view, std::string&, TextLimit);
    for (auto [name, read] :
         {std::pair<std::string, Reading>{"AddressFromEnvelopeValue", AddressFromEnvelopeValue},
          {"AddressAfterType", AddressAfterType}}) {
        for (const test::CaseLine& c : kCases.at(name)) {
            std::string out = "old";
            EXPECT_EQ(read(c.fields[0], out, TextLimit{2048}), c.fields[1] == "1")
                << "line " << c.number;
            EXPECT_EQ(out, c.fields[2]) << "line " << c.number;
        }
        std::string out;
        EXPECT_TRUE(read("[SMTP:alice@example.com]", out, TextLimit{6})) << name;
        EXPECT_EQ(out, "alice") << name;
    }
    std::string out = "old";
    EXPECT_TRUE(AddressAfterType("[SMTP:alice@example.com]", out, TextLimit{0}));
    EXPECT_EQ(out, "");
    for (const test::CaseLine& c : kCases.at("AddressLessLastCharacter"))
        EXPECT_EQ(AddressLessLastCharacter(c.fields[0]), c.fields[1]) << "line " << c.number;
}

TEST(EnvelopeNumber, ReadsLikeAtoi) {
    EXPECT_EQ(kCases.at("EnvelopeNumber").size(), 10u);
    for (const test::CaseLine& c : kCases.at("EnvelopeNumber"))
        EXPECT_EQ(EnvelopeNumber(test::Unescape(c.fields[0])), std::stol(c.fields[1]))
            << c.fields[0];
}

}  // namespace
}  // namespace kz
