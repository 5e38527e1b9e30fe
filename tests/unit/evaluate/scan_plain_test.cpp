// The line-by-line scan: raw header lines with their continuations, part header lines,
// encoded blocks and long lines read in pieces.

#include "unit/evaluate/scan_fixture.h"

namespace kz {
namespace {

using namespace filters;

TEST_F(ScanTest, PlainScanTakesEveryRawHeaderLine) {
    ScanOutcome outcome = scan("headers.eml", false);
    EXPECT_EQ(outcome.result, 1);
    // The folded From: the first line's value, then the continuation line.
    EXPECT_NE(outcome.trace.find("From Found:Alice\r\n\n"), std::string::npos);
    EXPECT_EQ(hits(FROM), 1);
    EXPECT_EQ(hits(TO), 2);  // both To headers
    EXPECT_EQ(hits(TOorCC), 3);
    EXPECT_EQ(match(SUBJECT), "<MF-W>*Q2FzaCBQcml6ZSBpbnNpZGU*</MF-W>");  // raw
    EXPECT_EQ(match(SPF), "<MF-W>pass</MF-W>");
    // Not MIME: no part headers to look at.
    EXPECT_EQ(hits(BOUNDARYHEADERS_CONTAIN), 0);
}

TEST_F(ScanTest, SpfSettingAboveOneTakesEveryReceivedSpfLine) {
    setAgentDword(config::kSpfHeaderCheck, 2);
    scan("headers.eml", false);
    EXPECT_EQ(hits(SPF), 3);
    EXPECT_EQ(match(SPF), "<MF-W>fail</MF-W>");
}

TEST_F(ScanTest, PlainScanReadsPartHeaderLines) {
    ScanOutcome outcome = scan("attachments.eml", false);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_NE(outcome.trace.find("Mime Encapsulatation detected\n"), std::string::npos);
    EXPECT_NE(outcome.trace.find("Attachment Found:Content-Disposition: inline; "
                                 "filename=report.pdf;size=1\r\n"),
              std::string::npos);
    EXPECT_NE(outcome.trace.find("Skipping encoded attachment\n"), std::string::npos);
    // Unclosed quotes: neither name counts, each name tried says so.
    std::size_t unclosed = 0;
    for (std::size_t at = outcome.trace.find("No closing quotation for attachment\n");
         at != std::string::npos;
         at = outcome.trace.find("No closing quotation for attachment\n", at + 1)) {
        ++unclosed;
    }
    // Twice for the broken filename (name= is found inside it), once for the broken name.
    EXPECT_EQ(unclosed, 3);
    EXPECT_EQ(outcome.trace.find("Attachment Found:Content-Type: application/octet-stream; "
                                 "name=\"broken.exe"),
              std::string::npos);
    // report.pdf from its line; broken.exe as the MIME reader reads it, to the end of
    // the header value.
    EXPECT_EQ(hits(HASATTACHMENTSMATCHING), 2);
    EXPECT_NE(outcome.trace.find("Attachment Found:broken.exe\n"), std::string::npos);
    EXPECT_EQ(hits(HASANATTACHMENT), 1);
    EXPECT_EQ(hits(BOUNDARYHEADERS_CONTAIN), 1);
    EXPECT_EQ(hits(BODY), 1);
}

TEST_F(ScanTest, EncodedBlockNamesCountOnlyBetweenBeginAndEnd) {
    ScanOutcome outcome = scan("uuencoded.eml", false);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_NE(outcome.trace.find("Binhex Attachment Found:file name=\"setup.exe\" \r\n"),
              std::string::npos);
    EXPECT_EQ(outcome.trace.find("late.exe"), std::string::npos);
    EXPECT_EQ(hits(HASANATTACHMENT), 1);
}

TEST_F(ScanTest, MessageWithoutBlankLineIsAllHeaders) {
    ScanOutcome outcome = scan("noblank.eml", false);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(hits(SUBJECT), 1);
    EXPECT_EQ(outcome.trace.find("Binhex Attachment Found"), std::string::npos);
    EXPECT_EQ(hits(HASANATTACHMENT), 0);
}

TEST_F(ScanTest, LongHeaderLineEndDoesNotEndTheHeaders) {
    // 2,046 characters: the read ends between CR and LF; 2,047: just before the CR.
    for (const char* message : {"long2046.eml", "long2047.eml"}) {
        SCOPED_TRACE(message);
        ScanOutcome outcome = scan(message, false);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(hits(FROM), 1);
        EXPECT_EQ(hits(SUBJECT), 1);  // still read as a header
        EXPECT_EQ(hits(BODY), 1);
    }
}

}  // namespace
}  // namespace kz
