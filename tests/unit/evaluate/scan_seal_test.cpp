// The MIME-aware scan and the prologue both scanners share.

#include "unit/evaluate/scan_fixture.h"
#include "unit/message/installed_seal.h"

namespace kz {
namespace {

using namespace filters;

TEST_F(ScanTest, OnlyASealOfTheMessagesOwnNameStopsTheScan) {
    test::InstalledSeal installed;
    for (bool mime : {true, false}) {
        SCOPED_TRACE(mime ? "mime" : "plain");
        // The loop header alone, and a seal made for another name, are scanned as any.
        for (const char* message : {"looped.eml", "resealed.eml"}) {
            EXPECT_EQ(scan(message, mime).result, 1) << message;
            EXPECT_EQ(hits(SUBJECT), 1);
            EXPECT_EQ(hits(BODY), 1);
        }
        // The agent's own message: what the scan met before the seal counts for nothing.
        ScanOutcome outcome = scan("sealed.eml", mime);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_NE(outcome.trace.find("Message Size detected as 171\r\n"), std::string::npos);
        EXPECT_EQ(context.ownMessage, true);
        for (CriterionType kind : {SIZE, FROM, SUBJECT, HEADERS_CONTAIN, BODY})
            EXPECT_EQ(hits(kind), 0) << kind;
    }
}

TEST_F(ScanTest, SizeMustExceedTheLimit) {
    setCriterionData(SIZE, "88");  // looped.eml has exactly 88 bytes
    scan("looped.eml", true);
    EXPECT_EQ(hits(SIZE), 0);
    EXPECT_EQ(results.block(1).instanceValue[SIZE][0], "0");
    setCriterionData(SIZE, "87");
    scan("looped.eml", false);
    EXPECT_EQ(hits(SIZE), 1);
    EXPECT_EQ(results.block(1).instanceValue[SIZE][0], "1");
}

TEST_F(ScanTest, MissingMessageFileIsNotFiltered) {
    for (bool mime : {true, false}) {
        ScanOutcome outcome = scan("", mime);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(hits(SIZE), 0);
        EXPECT_NE(outcome.trace.find("Message Size detected as 0\r\n"), std::string::npos);
    }
}

TEST_F(ScanTest, MimeScanTakesFirstDecodedHeaderValues) {
    ScanOutcome outcome = scan("headers.eml", true);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(hits(FROM), 1);  // once, on the unfolded value
    EXPECT_EQ(match(FROM), "<MF-R>*@sender.test</MF-R>");
    EXPECT_EQ(hits(TO), 1);                           // the first To header only
    EXPECT_EQ(hits(TOorCC), 2);                       // its value, then the Cc value
    EXPECT_EQ(match(SUBJECT), "<MF-W>prize</MF-W>");  // decoded
    EXPECT_EQ(match(SPF), "<MF-W>pass</MF-W>");       // the first with the setting at 0
    EXPECT_EQ(hits(COUNTRY_MATCH), 0);
    // A single-part message is its own part: its headers are the part headers.
    EXPECT_EQ(hits(BOUNDARYHEADERS_CONTAIN), 1);
    EXPECT_EQ(hits(HASANATTACHMENT), 0);
}

TEST_F(ScanTest, SpfSettingPicksTheLastReceivedSpfInBothScans) {
    setAgentDword(config::kSpfHeaderCheck, 1);
    for (bool mime : {true, false}) {
        SCOPED_TRACE(mime ? "mime" : "plain");
        scan("headers.eml", mime);
        EXPECT_EQ(hits(SPF), 1);
        EXPECT_EQ(match(SPF), "<MF-W>fail</MF-W>");
    }
}

TEST_F(ScanTest, MimeScanFindsAttachmentParts) {
    ScanOutcome outcome = scan("attachments.eml", true);
    EXPECT_EQ(outcome.result, 1);
    // The inline part with a file name counts as an attachment.
    EXPECT_GE(hits(HASATTACHMENTSMATCHING), 1);
    EXPECT_EQ(hits(HASANATTACHMENT), 1);
    EXPECT_EQ(hits(BOUNDARYHEADERS_CONTAIN), 1);
    EXPECT_EQ(hits(BODY), 1);
}

}  // namespace
}  // namespace kz
