// Attachments that hide from a scan: nested parts, names in RFC 2231 and encoded-word
// forms, parts past the list bound, boundaries in RFC 2231 form,
// and a message file too large to load.

#include <unistd.h>

#include "unit/evaluate/scan_fixture.h"

namespace kz {
namespace {

using namespace filters;

TEST_F(ScanTest, BothScansSeeEveryAttachmentName) {
    setCriterionData(HASATTACHMENTSMATCHING, "*.exe");
    for (const char* message :
         {"nested_exe.eml", "rfc2231_exe.eml", "continued_exe.eml", "encoded_word_exe.eml",
          "many_parts_exe.eml", "boundary_extended.eml", "boundary_continued.eml"}) {
        for (bool mime : {true, false}) {
            SCOPED_TRACE(std::string(message) + (mime ? " mime" : " plain"));
            ScanOutcome outcome = scan(message, mime);
            EXPECT_EQ(outcome.result, 1);
            EXPECT_GE(hits(HASATTACHMENTSMATCHING), 1);
            EXPECT_EQ(match(HASATTACHMENTSMATCHING),
                      mime ? "<MF-W>*.exe</MF-W>" : "<MF-A>*.exe</MF-A>");
            EXPECT_EQ(hits(HASANATTACHMENT), 1);
            EXPECT_EQ(outcome.trace.find("attachment criteria held"), std::string::npos);
        }
    }
    // The top-level part header lines name payload.exe twice (name and filename); the
    // decoded names of that part are the same and add nothing.
    scan("many_parts_exe.eml", false);
    EXPECT_EQ(hits(HASATTACHMENTSMATCHING), 2);
}

TEST_F(ScanTest, HugeMessageSaturatesSizeAndIsReadOnlyInPart) {
    setCriterionData(SIZE, "4294967294");
    const std::string path = messagesDir() + "/huge.eml";
    test::writeFile(path,
                    "From: x@sender.test\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                    "--b\r\nContent-Type: text/plain\r\n\r\nlottery\r\n");
    // Sparse: 5 GiB that cost no disk; its low 32 bits are 1 GiB.
    ASSERT_EQ(::truncate(path.c_str(), off_t(5) << 30), 0);
    ScanOutcome outcome = scan("huge.eml", true);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(match(SIZE), "<SZ>4294967295</SZ><SZL>4294967294</SZL>");
    EXPECT_EQ(hits(BODY), 1);
    // The container is still open where the reading stopped.
    EXPECT_NE(outcome.trace.find("attachment criteria held"), std::string::npos);
    EXPECT_EQ(hits(HASANATTACHMENT), 1);
}

}  // namespace
}  // namespace kz
