// Which filters hold, and what their report lines say, through the loaded library.

#include <gtest/gtest.h>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

// Four filters: all-of with the met criterion first (fails), all-of with the met
// criterion last (holds), any-of with two of three criteria met (holds), and a script.
// (A message no filter holds is handed on byte for byte without a report line: KzmtaDemo.)
TEST(DispatchVerdict, MatchAllAndAnyOfDecideAndTheCriteriaTextGrowsOverTheCall) {
    DispatchServer server{"verdicts"};
    server.queue("PRIZE.MAI", "prize");
    RunOutput out = server.filter({"PRIZE.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;

    // The met subject before the unmet body: the first filter does not hold.
    EXPECT_EQ(out.out.find("rule (Subject then body)"), std::string::npos) << out.out;
    EXPECT_FALSE(exists(server.dir.file("badmail/PRIZE.MAI")));
    // The unmet subject before the met body: the second filter holds.
    EXPECT_NE(out.out.find("All for rule (Body after subject) satisfied. Executing associated "
                           "action (ALLBODYLAST).\n"),
              std::string::npos)
        << out.out;
    EXPECT_TRUE(exists(server.dir.file("quarantine/PRIZE.MAI")));
    EXPECT_TRUE(exists(server.dir.file("quarantine/Messages/PRIZE.MAI")));
    // The any-of filter holds on its last met criterion, which names the header value.
    EXPECT_NE(readFile(server.messageFile("PRIZE.MAI")).find("X-KZ-Criterion: BODY\r\n"),
              std::string::npos)
        << readFile(server.messageFile("PRIZE.MAI"));

    // A script filter holds by its script; its result text joins the criteria text
    // without a separator and names the criterion for the actions.
    EXPECT_NE(readFile(server.messageFile("PRIZE.MAI"))
                  .find("Subject: [PRIZE-SCRIPT] Claim your lottery prize\r\n"),
              std::string::npos)
        << readFile(server.messageFile("PRIZE.MAI"));

    const std::string lead = "Executed\tPRIZE.MAI\tSMTP\t";
    const std::string envelope = "\t\t[SMTP:carl@example.net]\t192.0.2.17\t";
    const std::string subject = "\tClaim your lottery prize";
    const std::string first =
        "CRITERIA=SUBJECT, DATA=<MF-W>lottery</MF-W>|CRITERIA=BODY, MATCH=FALSE";
    const std::string second =
        "CRITERIA=SUBJECT, MATCH=FALSE|CRITERIA=BODY, DATA=<MF-W>winner</MF-W>";
    const std::string third =
        "CRITERIA=SUBJECT, DATA=<MF-W>lottery</MF-W>|CRITERIA=BODY, DATA=<MF-W>winner</MF-W>";
    std::vector<std::string> expected = {
        lead + "All of, body met last\tCOPY_TO_QUARANTINE" + envelope + first + "|" + second +
            subject,
        lead + "Any of subject, from, body\tADD_HEADER" + envelope + first + "|" + second + "|" +
            third + subject,
        lead + "Scripted prize check\tADD_SUBJECT_PREFIX" + envelope + first + "|" + second + "|" +
            third + "PRIZE-SCRIPT" + subject,
    };
    EXPECT_EQ(server.executedLines(), expected);
    // The driver prints the last report line of the call.
    EXPECT_NE(out.out.find("ProcessFilter: " + expected[2] + "\n"), std::string::npos) << out.out;
}

}  // namespace
}  // namespace kz::test
