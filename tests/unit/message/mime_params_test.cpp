#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "message/header_params.h"
#include "message/mime_line_params.h"
#include "message/mime_part.h"

namespace kz {
namespace {

TEST(GetHeaderFieldValue, FindsFieldsAtLineStartsOnly) {
    const std::string raw =
        "X-Content-Type: wrong\r\n"
        "content-type: multipart/mixed;\r\n"
        "\tboundary=\"abc\"; charset=x\r\n"
        "Content-ID:  <id@host>; x\r\n"
        "Subject : spaced";
    EXPECT_EQ(GetHeaderFieldValue(raw, "Content-Type", false),
              "multipart/mixed;boundary=\"abc\"; charset=x");
    EXPECT_EQ(GetHeaderFieldValue(raw, "CONTENT-TYPE", true), "multipart/mixed");
    EXPECT_EQ(GetHeaderFieldValue(raw, "Content-ID", true), "<id@host>");
    EXPECT_EQ(GetHeaderFieldValue(raw, "X-Content-Type", false), "wrong");
    EXPECT_EQ(GetHeaderFieldValue(raw, "Subject", false), std::nullopt);
    EXPECT_EQ(GetHeaderFieldValue(raw, "Type", false), std::nullopt);
    EXPECT_EQ(GetHeaderFieldValue("A:", "A", false), "");
    EXPECT_EQ(GetHeaderFieldValue("A", "A", false), std::nullopt);
}

TEST(ExtractParameterValue, ReadsQuotedUnquotedAndStarredValues) {
    struct Case {
        const char* name;
        const char* value;
        std::optional<std::string> result;
        bool extended;
    } cases[] = {
        {"boundary", "multipart/mixed; boundary=\"a b\"; x=y", "a b", false},
        {"boundary", "multipart/mixed; BOUNDARY = plain;x=y", "plain", false},
        {"boundary", "multipart/mixed; boundary=\"\r\n  spaced\"", "spaced", false},
        {"boundary", "multipart/mixed; boundary=\"unclosed to the end", "unclosed to the end",
         false},
        {"boundary", "multipart/mixed; boundary-note; boundary=real", "real", false},
        {"charset", "text/plain; charset=utf-8 (comment)", "utf-8", false},
        {"filename", "attachment; filename*=utf-8''a%20b", "utf-8''a%20b", true},
        {"name", "attachment; filename=x.pdf", "x.pdf", false},  // a plain substring search
        {"name", "text/plain", std::nullopt, false},
        {"name", "text/plain; name", std::nullopt, false},
        {"name", "text/plain; name=", "", false},
    };
    for (const Case& c : cases) {
        std::optional<ParameterValue> found = ExtractParameterValue(c.name, c.value);
        ASSERT_EQ(found.has_value(), c.result.has_value()) << c.value;
        if (!found) continue;
        EXPECT_EQ(found->value, *c.result) << c.value;
        EXPECT_EQ(found->extended, c.extended) << c.value;
    }
}

TEST(BoundaryParameter, ReadsPlainExtendedAndContinuedForms) {
    struct Case {
        const char* value;
        const char* boundary;
    } cases[] = {
        {"multipart/mixed; boundary=\"a b\"", "a b"},
        {"multipart/mixed; boundary*=\"us-ascii''abc\"", "abc"},
        {"multipart/mixed; boundary*=us-ascii'en'a%62c", "abc"},
        {"multipart/mixed; boundary*0=\"a\";boundary*1=\"bc\"", "abc"},
        {"multipart/mixed; boundary*1=c; boundary*0*=us-ascii''a%62", "abc"},
        {"multipart/mixed; boundary*1=orphan", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BoundaryParameter(c.value), c.boundary) << c.value;
        EXPECT_EQ(ParsePart(std::string("Content-Type: ") + c.value, "").Boundary, c.boundary);
    }
}

TEST(ParsePart, AppliesTheNameRule) {
    struct Case {
        const char* headers;
        const char* fileName;
        const char* partName;
        const char* displayName;
    } cases[] = {
        {"Content-Disposition: attachment; filename=\"q 1.pdf\"", "q 1.pdf", "", "q 1.pdf"},
        {"Content-Disposition: attachment; filename=\"open.pdf", "open.pdf", "", "open.pdf"},
        {"Content-Type: image/png; name=\"n.png\"\r\nContent-Disposition: inline; filename=f.png",
         "f.png", "n.png", "n.png"},
        {"Content-Type: text/plain; name=\"=?utf-8?Q?r=C3=A9sum=C3=A9.txt?=\"", "",
         "=?utf-8?Q?r=C3=A9sum=C3=A9.txt?=", "r\xC3\xA9sum\xC3\xA9.txt"},
        {"Content-Disposition: attachment; filename*=iso-8859-1'fr'r%E9sum%E9.txt",
         "r\xC3\xA9sum\xC3\xA9.txt", "", "r\xC3\xA9sum\xC3\xA9.txt"},
        {"Content-Disposition: attachment;\r\n filename*0*=utf-8''a%20;\r\n filename*1=b.txt", "",
         "a b.txt", "a b.txt"},
        {"Content-Type: text/plain; name*1=\"two\"; name*0=\"one-\"", "", "one-two", "one-two"},
        {"Content-Type: text/plain; name*0=\"=?utf-8?Q?caf=C3=A9?=\"", "", "caf\xC3\xA9",
         "caf\xC3\xA9"},
        {"Content-Type: text/plain; name*1=\"orphan\"", "", "", ""},
        {"Content-Type: text/plain", "", "", ""},
    };
    for (const Case& c : cases) {
        MimePart part = ParsePart(c.headers, "");
        EXPECT_EQ(part.FileName, c.fileName) << c.headers;
        EXPECT_EQ(part.PartName, c.partName) << c.headers;
        EXPECT_EQ(part.DisplayName, c.displayName) << c.headers;
    }
}

TEST(ParsePart, ReadsTypeEncodingAndId) {
    MimePart part = ParsePart(
        "Content-Type: \r\n Text/HTML ; charset=\"ISO-8859-1\"\r\n"
        "Content-Transfer-Encoding: Quoted-Printable \r\n"
        "Content-ID: <<a>b>\r\n"
        "Content-Disposition: Attachment ; size=3",
        "body");
    EXPECT_EQ(part.ContentType, "Text/HTML");
    EXPECT_EQ(part.Charset, "ISO-8859-1");
    EXPECT_EQ(part.TransferEncoding, "Quoted-Printable");
    EXPECT_EQ(part.ContentId, "<ab");
    EXPECT_EQ(part.DispositionType, "Attachment");
    EXPECT_FALSE(IsMultipart(part));
    EXPECT_TRUE(IsMultipart(ParsePart("Content-Type: Multipart/Related; boundary=x", "")));
    EXPECT_EQ(ParsePart("Subject: none", "").ContentType, "text/plain");
    EXPECT_EQ(ParsePart("Content-Type:", "").ContentType, "");
    EXPECT_EQ(ParsePart("Content-Type: text; charset=x", "").ContentType, "text/plain");
}

TEST(ExtractLineParameter, CopiesTheValueAfterTheKey) {
    struct Case {
        const char* line;
        std::size_t size;
        bool result;
        const char* out;
    } cases[] = {
        {"Content-Type: multipart/mixed; boundary=\"abc def\"\r\n", 1024, true, "abc def"},
        {"\tBOUNDARY=  plain value; x\r\n", 1024, true, "plain value"},
        {"boundary=\"abcdef\"", 4, true, "abc"},
        {"boundary=;", 1024, true, ""},
        {"boundary=", 1024, false, "old"},
        {"no key here", 1024, false, "old"},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        EXPECT_EQ(ExtractLineParameter(c.line, "boundary=", out, c.size), c.result) << c.line;
        EXPECT_EQ(out, c.out) << c.line;
    }
    std::string out;
    EXPECT_TRUE(ExtractLineParameter(std::string("boundary=ab\0cd", 14), "boundary=", out, 64));
    EXPECT_EQ(out, "ab");
}

TEST(ExtractAttachmentParameter, ReadsNamesAndReportsUnclosedQuotes) {
    struct Case {
        const char* line;
        const char* name;
        std::size_t size;
        bool result;
        const char* out;
        bool trace;
    } cases[] = {
        {"Content-Disposition: attachment; filename=\"a b.pdf\"\r\n", "filename", 1022, true,
         "a b.pdf", false},
        {"\tfilename=report.pdf;size=1\r\n", "filename", 1022, true, "report.pdf", false},
        {"\tFILENAME=report.pdf\r\n", "name", 1022, true, "report.pdf", false},
        {"\tfilename=\"open.pdf\r\n", "filename", 1022, false, "", true},
        {"\tfilename=\"12345\"", "filename", 5, false, "", true},
        {"\tfilename=\"1234\"", "filename", 5, true, "1234", false},
        {"\tfilename = x", "filename", 1022, false, "", false},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        testing::internal::CaptureStdout();
        bool result = ExtractAttachmentParameter(c.line, c.name, out, c.size);
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, c.result) << c.line;
        EXPECT_EQ(out, c.out) << c.line;
        EXPECT_EQ(printed, c.trace ? "No closing quotation for attachment\n" : "") << c.line;
    }
}

}  // namespace
}  // namespace kz
