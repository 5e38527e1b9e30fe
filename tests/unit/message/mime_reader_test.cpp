#include "message/mime_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "message/transfer_decode.h"
#include "support/case_file.h"
#include "support/test_support.h"

namespace kz {
namespace {

std::string mimeFixture(const char* name) {
    return test::fixture(std::string("mime/") + name);
}

TEST(MimeReader, ReadsMixedMessageWithBase64Attachments) {
    MimeReader reader;
    reader.loadFile(mimeFixture("mixed_base64.eml"));
    EXPECT_EQ(reader.text(), test::readFile(mimeFixture("mixed_base64.eml")));  // CR LF kept

    const auto& headers = reader.headers();
    ASSERT_NE(FindFirstHeader(headers, "from"), nullptr);
    EXPECT_EQ(FindFirstHeader(headers, "FROM")->value, "Alice Example <alice@example.com>");
    EXPECT_NE(FindFirstHeader(headers, "Received")->value.find("relay.example.org"),
              std::string::npos);
    EXPECT_NE(FindLastHeader(headers, "received")->value.find("from client.example.com"),
              std::string::npos);
    EXPECT_EQ(FindFirstHeader(headers, "X-KZFilter"), nullptr);
    EXPECT_TRUE(reader.headerBlock().starts_with("Return-Path:"));
    EXPECT_TRUE(reader.headerBlock().ends_with("boundary=\"----=_Part_0_1234.5678\""));

    const auto& parts = reader.parts();
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].Charset, "utf-8");
    EXPECT_EQ(parts[1].FileName, "report.pdf");
    std::string pdf = "%PDF-1.4\n";
    for (int i = 0; i < 2; ++i) {
        for (int b = 0; b < 256; ++b) pdf += char(b);
    }
    pdf += "\n%%EOF\n";
    EXPECT_EQ(TransferDecode(parts[1].Content, parts[1].TransferEncoding), pdf);
    EXPECT_EQ(parts[2].ContentId, "logo.png@example.com");

    EXPECT_EQ(reader.plainTextBody(),
              "Hello Bob,\r\nplease find the report attached. Caf\xC3\xA9 prices are on page 3, "
              "the long line continues here.\r\n");
    EXPECT_EQ(reader.htmlBody(), "");
}

TEST(MimeReader, DecodesAlternativeBodiesToUtf8) {
    MimeReader reader;
    reader.loadFile(mimeFixture("alternative.eml"));
    EXPECT_EQ(FindFirstHeader(reader.headers(), "From")->value,
              "J\xC3\xBCrgen M\xC3\xBCller <juergen@example.de>");
    EXPECT_EQ(FindFirstHeader(reader.headers(), "Subject")->value,
              "Gr\xC3\xBC\xC3\x9F"
              "e aus M\xC3\xBCnchen");
    // The boundary stands on a continuation line folded with a tab.
    EXPECT_EQ(FindFirstHeader(reader.headers(), "Content-Type")->value,
              "multipart/alternative; boundary=\"b1_alt\"");
    ASSERT_EQ(reader.parts().size(), 2u);
    EXPECT_EQ(reader.plainTextBody(),
              "Gr\xC3\xBC\xC3\x9F"
              "e aus M\xC3\xBCnchen!\r\n");
    EXPECT_EQ(reader.htmlBody(),
              "<html><body><p>Gr\xC3\xBC\xC3\x9F"
              "e aus <b>M\xC3\xBCnchen</b>!</p></body></html>\r\n");
}

TEST(MimeReader, ListsLeavesOfNestedMultipartsInOrder) {
    MimeReader reader;
    reader.loadFile(mimeFixture("nested.eml"));
    const auto& parts = reader.parts();
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].ContentType, "text/plain");
    EXPECT_EQ(parts[1].ContentType, "text/html");
    EXPECT_EQ(parts[2].ContentType, "text/csv");
    EXPECT_EQ(parts[2].Content, "region,total\r\nnorth,12");
    EXPECT_EQ(parts[2].RawHeaders,
              "Content-Type: text/csv; name=\"figures.csv\"\r\n"
              "Content-Disposition: attachment; filename=\"figures.csv\"");
    EXPECT_EQ(reader.plainTextBody(), "Plain version of the letter.");
    EXPECT_EQ(reader.htmlBody(), "<p>HTML version of the letter.</p>");
}

TEST(MimeReader, DecodesEncodedWordSubjectsFromTheirCharsets) {
    struct Case {
        const char* file;
        const char* subject;
    } cases[] = {
        {"subject_utf8.eml",
         "Pr\xC3\xBC"
         "fung der Rechnung Nr. 7"},
        {"subject_latin1.eml", "R\xC3\xA9sum\xC3\xA9 et caf\xC3\xA9"},
        {"subject_sjis.eml",
         "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE4\xBB\xB6\xE5\x90\x8D"},
    };
    for (const Case& c : cases) {
        MimeReader reader;
        reader.loadFile(mimeFixture(c.file));
        const HeaderEntry* subject = FindFirstHeader(reader.headers(), "Subject");
        ASSERT_NE(subject, nullptr) << c.file;
        EXPECT_EQ(subject->value, c.subject) << c.file;
    }
}

TEST(MimeReader, RemovesQuotedPrintableSoftBreaks) {
    MimeReader reader;
    reader.loadFile(mimeFixture("qp_soft_breaks.eml"));
    EXPECT_EQ(reader.plainTextBody(),
              "This line is broken with a soft break in the middle of a word, and = signs are "
              "escaped. Stray  stays dropped, and a final equals");
}

TEST(MimeReader, NormalisesBareLineFeeds) {
    std::string original = test::readFile(mimeFixture("bare_lf.eml"));
    ASSERT_EQ(original.find('\r'), std::string::npos);
    MimeReader reader;
    reader.loadFile(mimeFixture("bare_lf.eml"));
    EXPECT_EQ(reader.lineEnd(), "\r\n");
    EXPECT_EQ(reader.text().size(),
              original.size() + std::count(original.begin(), original.end(), '\n'));
    EXPECT_EQ(FindFirstHeader(reader.headers(), "Subject")->value, "Bare line feeds");
    ASSERT_EQ(reader.parts().size(), 2u);
    EXPECT_EQ(reader.parts()[1].FileName, "notes.txt");
    EXPECT_EQ(reader.plainTextBody(), "Written with bare line feeds.");
}

TEST(MimeReader, NormalisationLeavesExistingCrLfAlone) {
    const auto cases = test::ReadCaseGroups("mime/reader_cases.txt").at("LineEnds");
    for (const test::CaseLine& c : cases) {
        MimeReader reader;
        reader.loadText(test::Unescape(c.fields[0]));
        EXPECT_EQ(reader.text(), test::Unescape(c.fields[1])) << "line " << c.number;
    }
    MimeReader kept;
    kept.loadText("A: b\nC: d\n\nbody\n", false);
    EXPECT_EQ(kept.lineEnd(), "\n");
    EXPECT_EQ(kept.headerBlock(), "A: b\nC: d");
    EXPECT_EQ(kept.headers().size(), 2u);
}

TEST(MimeReader, ReadsPastNulBytes) {
    std::string original = test::readFile(mimeFixture("nul_byte.eml"));
    ASSERT_NE(original.find('\0'), std::string::npos);
    MimeReader reader;
    reader.loadFile(mimeFixture("nul_byte.eml"));
    EXPECT_EQ(reader.text(), original);
    ASSERT_EQ(reader.parts().size(), 2u);
    EXPECT_EQ(reader.parts()[1].FileName, "hidden.zip");
    EXPECT_EQ(reader.plainTextBody(), std::string("Before the NUL\0after the NUL.", 29));
}

TEST(MimeReader, ReadsAFileOnlyUpToTheLimit) {
    const std::string path = mimeFixture("mixed_base64.eml");
    const std::string whole = test::readFile(path);
    MimeReader cut;
    cut.loadFile(path, true, 600);
    EXPECT_EQ(cut.text(), whole.substr(0, 600));
    // Cut inside its container: later parts may be unseen.
    EXPECT_FALSE(cut.forEachPart([](const MimePart&, bool) {}));
    MimeReader exact;
    exact.loadFile(path, true, whole.size());
    EXPECT_TRUE(exact.forEachPart([](const MimePart&, bool) {}));
    // A message that is not multipart has nothing below its headers to miss.
    MimeReader single;
    single.loadFile(mimeFixture("subject_utf8.eml"), true, 100);
    EXPECT_TRUE(single.forEachPart([](const MimePart&, bool) {}));
}

TEST(MimeReader, MissingOrEmptyFileGivesEmptyEverything) {
    test::TempDir dir;
    test::writeFile(dir.file("empty.eml"), "");
    for (const std::string& path : {dir.file("missing.eml"), dir.file("empty.eml")}) {
        MimeReader reader;
        reader.loadFile(path);
        EXPECT_TRUE(reader.text().empty());
        EXPECT_TRUE(reader.headerBlock().empty());
        EXPECT_TRUE(reader.headers().empty());
        EXPECT_TRUE(reader.parts().empty());
        EXPECT_TRUE(reader.plainTextBody().empty());
        EXPECT_TRUE(reader.htmlBody().empty());
    }
}

TEST(MimeReader, UnfoldsAndSplitsHeaders) {
    MimeReader reader;
    reader.loadText(
        "Subject: first\r\n\tsecond\r\n  third\r\n"
        "not a header line\r\n"
        "X-Twice: 1\r\nX-Twice:\t 2\r\n"
        "Empty:\r\n"
        "\r\nbody");
    const auto& headers = reader.headers();
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[0].value, "first second  third");  // a tab becomes one blank
    EXPECT_EQ(FindFirstHeader(headers, "x-twice")->value, "1");
    EXPECT_EQ(FindLastHeader(headers, "x-twice")->value, "2");
    EXPECT_EQ(FindFirstHeader(headers, "Empty")->value, "");
    EXPECT_EQ(FindFirstHeader(headers, "not a header line"), nullptr);
}

TEST(MimeReader, MessageWithoutBlankLineIsAllBody) {
    MimeReader reader;
    reader.loadText("Subject: no blank line\r\nmore text\r\n");
    EXPECT_FALSE(reader.headerEnd().has_value());
    EXPECT_TRUE(reader.headers().empty());
    ASSERT_EQ(reader.parts().size(), 1u);
    EXPECT_EQ(reader.parts()[0].Content, reader.text());
    EXPECT_EQ(reader.plainTextBody(), reader.text());
}

TEST(MimeReader, PicksBodiesByContentType) {
    const auto cases = test::ReadCaseGroups("mime/reader_cases.txt").at("Bodies");
    EXPECT_EQ(cases.size(), 6u);
    for (const test::CaseLine& c : cases) {
        ASSERT_EQ(c.fields.size(), 4u) << "line " << c.number;
        MimeReader reader;
        reader.loadText(test::Unescape(c.fields[1]));
        EXPECT_EQ(reader.plainTextBody(), test::Unescape(c.fields[2])) << c.fields[0];
        EXPECT_EQ(reader.htmlBody(), test::Unescape(c.fields[3])) << c.fields[0];
    }
}

}  // namespace
}  // namespace kz
