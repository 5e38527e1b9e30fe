#include "unit/evaluate/scan_fixture.h"
#include "unit/message/installed_seal.h"

namespace kz {
namespace {

using namespace filters;

// The agent's own message: what the scan met before the seal counts for nothing. (A forged
// or copied seal is scanned as any message: see the loop seal tests of the loaded library.)
TEST_F(ScanTest, ASealOfTheMessagesOwnNameStopsTheScan) {
    test::InstalledSeal installed;
    for (bool mime : {true, false}) {
        SCOPED_TRACE(mime ? "mime" : "plain");
        ScanOutcome outcome = scan("sealed.eml", mime);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_NE(outcome.trace.find("Message Size detected as 171\r\n"), std::string::npos);
        EXPECT_EQ(context.ownMessage, true);
        for (CriterionType kind : {SIZE, FROM, SUBJECT, HEADERS_CONTAIN, BODY})
            EXPECT_EQ(hits(kind), 0) << kind;
    }
}

}  // namespace
}  // namespace kz
