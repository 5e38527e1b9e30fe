#include <gtest/gtest.h>

#include <string>

#include "message/mime_part_list.h"
#include "message/mime_reader.h"
#include "support/case_file.h"

namespace kz {
namespace {

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

}  // namespace
}  // namespace kz
