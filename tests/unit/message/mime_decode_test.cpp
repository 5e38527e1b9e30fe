#include <gtest/gtest.h>

#include <string>

#include "message/charset_table.h"
#include "message/encoded_words.h"
#include "message/header_params.h"
#include "message/transfer_decode.h"
#include "support/case_file.h"

namespace kz {
namespace {

// The cases of one decoder in tests/fixtures/mime/decode_cases.txt: input, result.
template <typename Decode>
void ExpectCases(const std::string& decoder, std::size_t count, Decode decode) {
    static const auto groups = test::ReadCaseGroups("mime/decode_cases.txt");
    const auto& cases = groups.at(decoder);
    EXPECT_EQ(cases.size(), count);
    for (const test::CaseLine& c : cases) {
        ASSERT_GE(c.fields.size(), 2u) << "line " << c.number;
        EXPECT_EQ(decode(test::Unescape(c.fields[0])), test::Unescape(c.fields[1]))
            << "line " << c.number << ": " << c.fields[0];
    }
}

TEST(TransferDecode, DecodesOrLeavesContentUnchanged) {
    // "encoding:content" in the input field.
    ExpectCases("TransferDecode", 21, [](const std::string& in) {
        std::size_t colon = in.find(':');
        return TransferDecode(in.substr(colon + 1), in.substr(0, colon));
    });
}

TEST(DecodeEncodedWords, DecodesWellFormedWordsToUtf8AndKeepsMalformedOnes) {
    ExpectCases("DecodeEncodedWords", 22,
                [](const std::string& in) { return DecodeEncodedWords(in); });
}

TEST(PercentDecode, DecodesHexAndDecimalEscapes) {
    ExpectCases("PercentDecode", 10, PercentDecode);
}

TEST(DecodeEncodedWords, ConvertsToAnotherTargetCharset) {
    EXPECT_EQ(DecodeEncodedWords("=?utf-8?Q?caf=C3=A9?=", "iso-8859-1"), "caf\xE9");
    EXPECT_EQ(DecodeEncodedWords("=?utf-8?Q?caf=C3=A9?=", "x-unknown"), "caf\xC3\xA9");
}

TEST(DecodeEncodedWords, HandlesLongHostileTextInOnePass) {
    std::string openers;
    for (int i = 0; i < 200000; ++i) openers += "=?a?Q";
    EXPECT_EQ(DecodeEncodedWords(openers), openers);
    std::string unclosed;
    for (int i = 0; i < 100000; ++i) unclosed += "=?utf-8?Q?x ";
    EXPECT_EQ(DecodeEncodedWords(unclosed), unclosed);
}

TEST(CodePageForCharset, FirstMatchingRowWins) {
    const auto cases = test::ReadCaseFile("mime/charset_cases.txt");
    EXPECT_EQ(cases.size(), 13u);
    for (const test::CaseLine& c : cases)
        EXPECT_EQ(CodePageForCharset(c.fields[0]), std::stoul(c.fields[1])) << "line " << c.number;
}

TEST(EncodeQText, EscapesSpecialsAndKeepsBlanks) {
    static const auto groups = test::ReadCaseGroups("mime/decode_cases.txt");
    EXPECT_EQ(groups.at("EncodeQText").size(), 9u);
    for (const test::CaseLine& c : groups.at("EncodeQText")) {
        const std::vector<std::string>& f = c.fields;
        std::string out = "old";
        EXPECT_EQ(EncodeQText(test::Unescape(f[0]), std::stoul(f[1]), out, std::stoul(f[2])),
                  std::stoi(f[3]))
            << "line " << c.number;
        EXPECT_EQ(out, test::Unescape(f[4])) << "line " << c.number;
    }
}

}  // namespace
}  // namespace kz
