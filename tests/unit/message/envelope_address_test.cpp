#include "message/envelope_address.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/case_file.h"

namespace kz {
namespace {

const auto kCases = test::ReadCaseGroups("queue/envelope_address_cases.txt");

TEST(ExtractEnvelopeAddress, TakesTheTextBetweenTheFirstColonAndTheFirstBracket) {
    EXPECT_EQ(kCases.at("ExtractEnvelopeAddress").size(), 8u);
    for (const test::CaseLine& c : kCases.at("ExtractEnvelopeAddress")) {
        std::string destination = "(kept)";
        ExtractEnvelopeAddress(c.fields[0], destination, std::stoul(c.fields[1]));
        EXPECT_EQ(destination, c.fields[2]) << "line " << c.number;
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

// The cases of one reading: value, result, address.
void ExpectCases(const std::string& reading, std::size_t count,
                 int (*helper)(std::string_view, std::string&, std::size_t)) {
    EXPECT_EQ(kCases.at(reading).size(), count);
    for (const test::CaseLine& c : kCases.at(reading)) {
        std::string out = "old";
        EXPECT_EQ(helper(c.fields[0], out, 2048), std::stoi(c.fields[1])) << "line " << c.number;
        EXPECT_EQ(out, c.fields[2]) << "line " << c.number;
    }
}

TEST(AddressFromEnvelopeValue, TextBetweenTypeAndBracket) {
    ExpectCases("AddressFromEnvelopeValue", 7, AddressFromEnvelopeValue);
}

TEST(AddressAfterType, TextAfterTypeLessTheClosingBracket) {
    ExpectCases("AddressAfterType", 6, AddressAfterType);
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
    EXPECT_EQ(AddressLessLastCharacter("[SMTP:]"), "");
    EXPECT_EQ(AddressLessLastCharacter(""), "");
}

}  // namespace
}  // namespace kz
