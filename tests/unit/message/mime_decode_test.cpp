// Decoding of transfer encodings, encoded words and charsets, and the readers of header
// fields and their parameters.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "message/charset_table.h"
#include "message/encoded_words.h"
#include "message/header_params.h"
#include "message/mime_line_params.h"
#include "message/mime_part.h"
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

TEST(TransferAndPercentDecode, DecodeOrLeaveContentUnchanged) {
    // "encoding:content" in the input field.
    ExpectCases("TransferDecode", 21, [](const std::string& in) {
        std::size_t colon = in.find(':');
        return TransferDecode(in.substr(colon + 1), in.substr(0, colon));
    });
    ExpectCases("PercentDecode", 10, PercentDecode);
}

TEST(DecodeEncodedWords, DecodesWellFormedWordsToUtf8OrAnotherCharsetAndKeepsMalformedOnes) {
    ExpectCases("DecodeEncodedWords", 22,
                [](const std::string& in) { return DecodeEncodedWords(in); });
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

// The cases of one reader in tests/fixtures/mime/param_cases.txt, unescaped.
std::vector<std::vector<std::string>> Cases(const std::string& reader, std::size_t fields) {
    static const auto groups = test::ReadCaseGroups("mime/param_cases.txt");
    std::vector<std::vector<std::string>> cases;
    for (const test::CaseLine& c : groups.at(reader)) {
        EXPECT_GE(c.fields.size(), fields) << reader << " line " << c.number;
        std::vector<std::string> values(fields);
        for (std::size_t i = 0; i < fields && i < c.fields.size(); ++i)
            values[i] = test::Unescape(c.fields[i]);
        cases.push_back(values);
    }
    return cases;
}

TEST(GetHeaderFieldValue, FindsFieldsAtLineStartsOnly) {
    for (const auto& c : Cases("GetHeaderFieldValue", 4)) {
        std::optional<std::string> found = GetHeaderFieldValue(c[0], c[1], c[2] == "first");
        EXPECT_EQ(found.value_or("(none)"), c[3]) << c[1];
    }
}

TEST(ExtractParameterValue, ReadsQuotedUnquotedAndStarredValues) {
    const auto cases = Cases("ExtractParameterValue", 4);
    EXPECT_EQ(cases.size(), 11u);
    for (const auto& c : cases) {
        std::optional<ParameterValue> found = ExtractParameterValue(c[0], c[1]);
        ASSERT_EQ(found.has_value(), c[2] != "(none)") << c[1];
        if (!found) continue;
        EXPECT_EQ(found->value, c[2]) << c[1];
        EXPECT_EQ(found->extended, c[3] == "extended") << c[1];
    }
}

TEST(BoundaryParameter, ReadsPlainExtendedAndContinuedForms) {
    const auto cases = Cases("BoundaryParameter", 2);
    EXPECT_EQ(cases.size(), 6u);
    for (const auto& c : cases) {
        EXPECT_EQ(BoundaryParameter(c[0]), c[1]) << c[0];
        EXPECT_EQ(ParsePart("Content-Type: " + c[0], "").boundary, c[1]) << c[0];
    }
}

TEST(ParsePart, AppliesTheNameRule) {
    const auto cases = Cases("NameRule", 4);
    EXPECT_EQ(cases.size(), 10u);
    for (const auto& c : cases) {
        MimePart part = ParsePart(c[0], "");
        EXPECT_EQ(part.fileName, c[1]) << c[0];
        EXPECT_EQ(part.partName, c[2]) << c[0];
        EXPECT_EQ(part.displayName, c[3]) << c[0];
    }
}

TEST(ParsePart, ReadsTypeEncodingAndId) {
    MimePart part = ParsePart(
        "Content-Type: \r\n Text/HTML ; charset=\"ISO-8859-1\"\r\n"
        "Content-Transfer-Encoding: Quoted-Printable \r\n"
        "Content-ID: <<a>b>\r\n"
        "Content-Disposition: Attachment ; size=3",
        "body");
    EXPECT_EQ(part.contentType, "Text/HTML");
    EXPECT_EQ(part.charset, "ISO-8859-1");
    EXPECT_EQ(part.transferEncoding, "Quoted-Printable");
    EXPECT_EQ(part.contentId, "<ab");
    EXPECT_EQ(part.dispositionType, "Attachment");
    EXPECT_FALSE(IsMultipart(part));
    EXPECT_TRUE(IsMultipart(ParsePart("Content-Type: Multipart/Related; boundary=x", "")));
    EXPECT_EQ(ParsePart("Subject: none", "").contentType, "text/plain");
    EXPECT_EQ(ParsePart("Content-Type:", "").contentType, "");
    EXPECT_EQ(ParsePart("Content-Type: text; charset=x", "").contentType, "text/plain");
}

TEST(ExtractLineParameter, CopiesTheValueAfterTheKey) {
    const auto cases = Cases("ExtractLineParameter", 4);
    EXPECT_EQ(cases.size(), 6u);
    for (const auto& c : cases) {
        std::string out = "old";
        EXPECT_EQ(ExtractLineParameter(c[0], "boundary=", out, TextLimit{std::stoul(c[1])}),
                  c[2] == "1")
            << c[0];
        EXPECT_EQ(out, c[3]) << c[0];
    }
    std::string out;
    EXPECT_TRUE(
        ExtractLineParameter(std::string("boundary=ab\0cd", 14), "boundary=", out, TextLimit{64}));
    EXPECT_EQ(out, "ab");
}

TEST(ExtractAttachmentParameter, ReadsNamesAndReportsUnclosedQuotes) {
    const auto cases = Cases("ExtractAttachmentParameter", 6);
    EXPECT_EQ(cases.size(), 7u);
    for (const auto& c : cases) {
        std::string out = "old";
        testing::internal::CaptureStdout();
        bool result = ExtractAttachmentParameter(c[0], c[1], out, TextLimit{std::stoul(c[2])});
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, c[3] == "1") << c[0];
        EXPECT_EQ(out, c[4]) << c[0];
        EXPECT_EQ(printed, c[5] == "trace" ? "No closing quotation for attachment\n" : "") << c[0];
    }
}

}  // namespace
}  // namespace kz
