// The MIME reader: headers, the part list and bodies of real and hostile messages.

#include "message/mime_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "message/encoded_words.h"
#include "message/mime_part.h"
#include "message/mime_part_list.h"
#include "message/transfer_decode.h"
#include "support/case_file.h"
#include "support/test_support.h"

namespace kz {
namespace {

std::string mimeFixture(const std::string& name) {
    return test::fixture("mime/" + name);
}

const auto kCases = test::ReadCaseGroups("mime/reader_cases.txt");

TEST(MimeReader, ReadsTheFixtureMessages) {
    EXPECT_EQ(kCases.at("Files").size(), 9u);
    for (const test::CaseLine& c : kCases.at("Files")) {
        SCOPED_TRACE(c.fields[0]);
        ASSERT_EQ(c.fields.size(), 5u);
        MimeReader reader;
        reader.loadFile(mimeFixture(c.fields[0]));
        const auto expect = [](const std::string& field, const std::string& actual) {
            if (field != "*") {
                EXPECT_EQ(actual, test::Unescape(field));
            }
        };
        const HeaderEntry* subject = FindFirstHeader(reader.headers(), "Subject");
        expect(c.fields[1], subject ? subject->value : "(none)");
        expect(c.fields[2], std::to_string(reader.parts().size()));
        expect(c.fields[3], reader.plainTextBody());
        expect(c.fields[4], reader.htmlBody());
    }
}

TEST(MimeReader, HeadersAndPartsOfAMixedMessage) {
    MimeReader reader;
    reader.loadFile(mimeFixture("mixed_base64.eml"));
    EXPECT_EQ(reader.text(), test::readFile(mimeFixture("mixed_base64.eml")));  // CR LF kept

    const auto& headers = reader.headers();
    EXPECT_EQ(FindFirstHeader(headers, "FROM")->value, "Alice Example <alice@example.com>");
    EXPECT_NE(FindFirstHeader(headers, "Received")->value.find("relay.example.org"),
              std::string::npos);
    EXPECT_NE(FindLastHeader(headers, "received")->value.find("from client.example.com"),
              std::string::npos);
    EXPECT_EQ(FindFirstHeader(headers, "X-KZFilter"), nullptr);
    EXPECT_TRUE(reader.headerBlock().starts_with("Return-Path:"));
    EXPECT_TRUE(reader.headerBlock().ends_with("boundary=\"----=_Part_0_1234.5678\""));

    const auto& parts = reader.parts();
    EXPECT_EQ(parts[0].charset, "utf-8");
    EXPECT_EQ(parts[1].fileName, "report.pdf");
    std::string pdf = "%PDF-1.4\n";
    for (int b = 0; b < 512; ++b) pdf += char(b % 256);
    EXPECT_EQ(TransferDecode(parts[1].content, parts[1].transferEncoding), pdf + "\n%%EOF\n");
    EXPECT_EQ(parts[2].contentId, "logo.png@example.com");

    MimeReader alternative;
    alternative.loadFile(mimeFixture("alternative.eml"));
    EXPECT_EQ(FindFirstHeader(alternative.headers(), "From")->value,
              "J\xC3\xBCrgen M\xC3\xBCller <juergen@example.de>");
    // The boundary stands on a continuation line folded with a tab.
    EXPECT_EQ(FindFirstHeader(alternative.headers(), "Content-Type")->value,
              "multipart/alternative; boundary=\"b1_alt\"");
}

TEST(MimeReader, ListsLeavesOfNestedMultipartsInOrder) {
    MimeReader reader;
    reader.loadFile(mimeFixture("nested.eml"));
    const auto& parts = reader.parts();
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].contentType, "text/plain");
    EXPECT_EQ(parts[1].contentType, "text/html");
    EXPECT_EQ(parts[2].contentType, "text/csv");
    EXPECT_EQ(parts[2].content, "region,total\r\nnorth,12");
    EXPECT_EQ(parts[2].rawHeaders,
              "Content-Type: text/csv; name=\"figures.csv\"\r\n"
              "Content-Disposition: attachment; filename=\"figures.csv\"");
}

TEST(MimeReader, NormalisesBareLineFeedsAndReadsPastNulBytes) {
    std::string original = test::readFile(mimeFixture("bare_lf.eml"));
    ASSERT_EQ(original.find('\r'), std::string::npos);
    MimeReader reader;
    reader.loadFile(mimeFixture("bare_lf.eml"));
    EXPECT_EQ(reader.lineEnd(), "\r\n");
    EXPECT_EQ(reader.text().size(),
              original.size() + std::count(original.begin(), original.end(), '\n'));
    EXPECT_EQ(reader.parts()[1].fileName, "notes.txt");

    for (const test::CaseLine& c : kCases.at("LineEnds")) {
        MimeReader lines;
        lines.loadText(test::Unescape(c.fields[0]));
        EXPECT_EQ(lines.text(), test::Unescape(c.fields[1])) << "line " << c.number;
    }
    MimeReader kept;
    kept.loadText("A: b\nC: d\n\nbody\n", false);
    EXPECT_EQ(kept.lineEnd(), "\n");
    EXPECT_EQ(kept.headerBlock(), "A: b\nC: d");
    EXPECT_EQ(kept.headers().size(), 2u);

    original = test::readFile(mimeFixture("nul_byte.eml"));
    ASSERT_NE(original.find('\0'), std::string::npos);
    MimeReader nul;
    nul.loadFile(mimeFixture("nul_byte.eml"));
    EXPECT_EQ(nul.text(), original);
    EXPECT_EQ(nul.parts()[1].fileName, "hidden.zip");
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
        EXPECT_TRUE(reader.text().empty() && reader.headerBlock().empty());
        EXPECT_TRUE(reader.plainTextBody().empty() && reader.htmlBody().empty());
        EXPECT_TRUE(reader.headers().empty() && reader.parts().empty());
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

    MimeReader bodyOnly;  // without a blank line everything is body
    bodyOnly.loadText("Subject: no blank line\r\nmore text\r\n");
    EXPECT_FALSE(bodyOnly.headerEnd().has_value());
    EXPECT_TRUE(bodyOnly.headers().empty());
    ASSERT_EQ(bodyOnly.parts().size(), 1u);
    EXPECT_EQ(bodyOnly.parts()[0].content, bodyOnly.text());
    EXPECT_EQ(bodyOnly.plainTextBody(), bodyOnly.text());
}

TEST(MimeReader, PicksBodiesByContentType) {
    const auto cases = kCases.at("Bodies");
    EXPECT_EQ(cases.size(), 6u);
    for (const test::CaseLine& c : cases) {
        ASSERT_EQ(c.fields.size(), 4u) << "line " << c.number;
        MimeReader reader;
        reader.loadText(test::Unescape(c.fields[1]));
        EXPECT_EQ(reader.plainTextBody(), test::Unescape(c.fields[2])) << c.fields[0];
        EXPECT_EQ(reader.htmlBody(), test::Unescape(c.fields[3])) << c.fields[0];
    }
}

std::string multipartOf(int leaves) {
    std::string text =
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"many\"\r\n\r\n";
    for (int i = 1; i <= leaves; ++i) {
        text += "--many\r\nContent-Type: text/plain; name=\"part" + std::to_string(i) +
                ".txt\"\r\n\r\nleaf " + std::to_string(i) + "\r\n";
    }
    return text + "--many--\r\n";
}

// `levels` containers, each holding the next, the innermost holding one text part.
std::string nestedOf(int levels) {
    std::string text = "Content-Type: multipart/mixed; boundary=\"L0\"\r\n\r\n";
    for (int i = 0; i < levels - 1; ++i) {
        text += "--L" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=\"L" +
                std::to_string(i + 1) + "\"\r\n\r\n";
    }
    text +=
        "--L" + std::to_string(levels - 1) + "\r\nContent-Type: text/plain\r\n\r\ninnermost\r\n";
    for (int i = levels - 1; i >= 0; --i) text += "--L" + std::to_string(i) + "--\r\n";
    return text;
}

TEST(MimePartList, ListsTwoHundredAndOnePartsAndWalksPastThem) {
    MimeReader reader;
    reader.loadText(multipartOf(250));
    std::vector<std::string> names;
    std::size_t listed = 0;
    EXPECT_TRUE(reader.forEachPart([&](const MimePart& part, bool inList) {
        names.push_back(part.partName);
        listed += inList;
    }));
    ASSERT_EQ(names.size(), 250u);
    EXPECT_EQ(names.back(), "part250.txt");
    EXPECT_EQ(listed, kMaxListedParts + 1);
    const auto& parts = reader.parts();
    ASSERT_EQ(parts.size(), kMaxListedParts + 1);
    EXPECT_EQ(parts.back().partName, "part201.txt");
    EXPECT_EQ(parts.back().content, "leaf 201");
}

TEST(MimePartList, OpensNestedContainersUpToTheDepthBound) {
    MimeReader shallow;
    shallow.loadText(nestedOf(kMaxMultipartDepth));
    ASSERT_EQ(shallow.parts().size(), 1u);
    EXPECT_EQ(shallow.parts()[0].content, "innermost");

    // Deeper containers are listed as leaves instead of being opened, so hostile nesting
    // neither exhausts the stack nor hides the part entirely.
    MimeReader deep;
    deep.loadText(nestedOf(1000));
    // What lies below is unseen, and the walk says so.
    EXPECT_TRUE(shallow.forEachPart([](const MimePart&, bool) {}));
    EXPECT_FALSE(deep.forEachPart([](const MimePart&, bool) {}));
    ASSERT_EQ(deep.parts().size(), 1u);
    EXPECT_EQ(deep.parts()[0].contentType, "multipart/mixed");
    EXPECT_EQ(deep.parts()[0].boundary, "L" + std::to_string(kMaxMultipartDepth));
}

TEST(MimePartList, SplitsAtDelimiterLinesOnly) {
    const auto cases = test::ReadCaseFile("mime/part_splits.txt");
    EXPECT_EQ(cases.size(), 12u);
    for (const test::CaseLine& c : cases) {
        ASSERT_GE(c.fields.size(), 2u) << "line " << c.number;
        const std::string body = test::Unescape(c.fields[1]);  // the parts point into it
        auto parts = BuildPartList("Content-Type: multipart/mixed; boundary=b", body, "\r\n");
        std::vector<std::string> contents, expected;
        for (const MimePart& part : parts) contents.emplace_back(part.content);
        for (std::size_t i = 2; i < c.fields.size(); ++i)
            expected.push_back(test::Unescape(c.fields[i]));
        EXPECT_EQ(contents, expected) << "line " << c.number << ": " << c.fields[0];
    }
}

TEST(MimePartList, SeparatesPartHeadersFromContent) {
    auto parts = BuildPartList("Content-Type: multipart/mixed; boundary=b",
                               "--b\r\n\r\nno headers\r\n\r\nsecond paragraph\r\n"
                               "--b\r\nContent-Type: text/html\r\n\r\n--b\r\n"
                               "Content-Type: image/gif\r\n\r\n\r\n--b--",
                               "\r\n");
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].rawHeaders, "");
    EXPECT_EQ(parts[0].contentType, "text/plain");
    EXPECT_EQ(parts[0].content, "no headers\r\n\r\nsecond paragraph");
    // Headers whose blank line is the one before the next delimiter are still headers.
    EXPECT_EQ(parts[1].rawHeaders, "Content-Type: text/html");
    EXPECT_EQ(parts[1].content, "");
    EXPECT_EQ(parts[2].contentType, "image/gif");
    EXPECT_EQ(parts[2].content, "");
}

TEST(MimePartList, ContainersWithoutUsableBoundaryAreLeaves) {
    std::string longBoundary(kMaxBoundaryLength + 1, 'x');
    for (std::string header : {std::string("Content-Type: multipart/mixed"),
                               std::string("Content-Type: multipart/mixed; boundary=\"\""),
                               "Content-Type: multipart/mixed; boundary=" + longBoundary}) {
        auto parts = BuildPartList(header, "--\r\n\r\nbody\r\n", "\r\n");
        ASSERT_EQ(parts.size(), 1u) << header;
        EXPECT_EQ(parts[0].contentType, "multipart/mixed");
        EXPECT_EQ(parts[0].content, "--\r\n\r\nbody\r\n");
    }
}

TEST(MimePartList, SinglePartMessageIsItsOwnPart) {
    MimeReader reader;  // leading blanks before the first header are skipped
    reader.loadText("\r\n  Subject: hi\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nbody\r\n");
    ASSERT_EQ(reader.parts().size(), 1u);
    EXPECT_EQ(reader.parts()[0].rawHeaders,
              "Subject: hi\r\nContent-Type: text/plain; charset=utf-8");
    EXPECT_EQ(reader.parts()[0].content, "body\r\n");
}

// Touches everything a scan would read; the sanitizers catch any read out of bounds.
std::size_t exercise(MimeReader& reader) {
    std::size_t seen = reader.headerBlock().size();
    for (const HeaderEntry& header : reader.headers()) seen += header.value.size();
    reader.forEachPart([&seen](const MimePart& part, bool) {
        seen += part.fileName.size() + part.partName.size();
    });
    for (const MimePart& part : reader.parts()) {
        seen += part.rawHeaders.size() + part.content.size();
        seen += TransferDecode(part.content, part.transferEncoding).size();
        seen += DecodeEncodedWords(part.fileName).size() + DecodeEncodedWords(part.partName).size();
    }
    return seen + reader.plainTextBody().size() + reader.htmlBody().size();
}

// Short broken messages (unclosed quotes, encoded words and boundaries) are seeds of the
// mime fuzz target (tests/fuzz/corpus/mime_fuzz/broken-*.eml), which reads them the same way.
TEST(MimeMalformed, EveryTruncationOfARealMessageParses) {
    for (const char* name :
         {"mime/mixed_base64.eml", "mime/nested.eml", "mime/rfc2231_names.eml",
          "scan/messages/nested_exe.eml", "scan/messages/continued_exe.eml",
          "scan/messages/encoded_word_exe.eml", "scan/messages/boundary_continued.eml",
          "scan/messages/deep_exe.eml"}) {
        std::string whole = test::readFile(test::fixture(name));
        ASSERT_FALSE(whole.empty()) << name;
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            MimeReader reader;
            reader.loadText(whole.substr(0, length));
            exercise(reader);
            EXPECT_LE(reader.parts().size(), 3u) << name << " cut at " << length;
        }
    }
}

TEST(MimeMalformed, OnlyDelimitersOrManyOverlappingNamePiecesStayBounded) {
    std::string text = "Content-Type: multipart/mixed; boundary=x\r\n\r\n";
    for (int i = 0; i < 100000; ++i) text += "--x\r\n";
    MimeReader reader;
    reader.loadText(text);
    EXPECT_EQ(reader.parts().size(), 201u);
    // Every piece's unquoted value runs to the end of the text.
    std::string headers = "Content-Type: text/plain; ";
    for (int i = 0; i < 100000; ++i) headers += "name*" + std::to_string(i) + "=";
    MimePart part = ParsePart(headers, "");
    EXPECT_TRUE(part.partName.starts_with("name*1=name*2="));
    EXPECT_LT(part.partName.size(), headers.size());
}

}  // namespace
}  // namespace kz
