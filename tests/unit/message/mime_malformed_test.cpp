#include <gtest/gtest.h>

#include <string>

#include "message/encoded_words.h"
#include "message/mime_part.h"
#include "message/mime_reader.h"
#include "message/transfer_decode.h"
#include "support/test_support.h"

namespace kz {
namespace {

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

TEST(MimeMalformed, InputOfOnlyDelimitersStaysBounded) {
    std::string text = "Content-Type: multipart/mixed; boundary=x\r\n\r\n";
    for (int i = 0; i < 100000; ++i) text += "--x\r\n";
    MimeReader reader;
    reader.loadText(text);
    EXPECT_EQ(reader.parts().size(), 201u);
}

TEST(MimeMalformed, ManyOverlappingNamePiecesStayBounded) {
    // Every piece's unquoted value runs to the end of the text.
    std::string headers = "Content-Type: text/plain; ";
    for (int i = 0; i < 100000; ++i) headers += "name*" + std::to_string(i) + "=";
    MimePart part = ParsePart(headers, "");
    EXPECT_TRUE(part.partName.starts_with("name*1=name*2="));
    EXPECT_LT(part.partName.size(), headers.size());
}

}  // namespace
}  // namespace kz
