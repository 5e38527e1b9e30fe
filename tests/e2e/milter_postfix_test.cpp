// kzmta milter behind a real Postfix that the test starts in a folder of its own, with
// mail sent by SMTP and delivered to mailbox files.

#include "e2e/milter_postfix.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

namespace kz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(MilterPostfix, MailThroughPostfixIsFilteredAndAStoppedMilterMeansTryLater) {
    if (std::string why = WhyPostfixCannotRun(); !why.empty()) GTEST_SKIP() << why;
    PostfixWithMilter mta;
    if (std::string why = mta.startPostfix(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(mta.startMilter({"--threads", "2"})) << mta.milter->output();

    // Spam words: delivered with the subject prefix and the header the actions add.
    ASSERT_EQ(mta.send("spam.eml"), 250);
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("spam-1@") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SPAM] You are a winner\n"), std::string::npos);
    EXPECT_NE(mta.mailbox("bob").find("X-Spam-Reason: SUBJECT ann@example.org\n"),
              std::string::npos);

    // An executable: discarded, kept in quarantine, and the sender told. The notice
    // passes the milter again on its way in (non_smtpd_milters) and is let through.
    ASSERT_EQ(mta.send("exe.eml"), 250);
    ASSERT_TRUE(WaitFor([&] {
        return mta.mailbox("ann").find("not delivered") != std::string::npos;
    })) << mta.milter->output();
    EXPECT_NE(mta.mailbox("ann").find("Subject: Your message was not delivered\n"),
              std::string::npos);
    EXPECT_TRUE(mta.milter->waitForLine("came back, let through", 10));
    std::string quarantined;
    for (const auto& entry : fs::directory_iterator(mta.agent + "/quarantine/Messages"))
        quarantined += readFile(entry.path().string());
    EXPECT_NE(quarantined.find("filename=\"setup.exe\""), std::string::npos);

    // A loop header the sender wrote itself does not pass unfiltered.
    ASSERT_EQ(mta.send("forged.eml"), 250);
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("forged-1@") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SPAM] Winner of the lottery"), std::string::npos);
    EXPECT_EQ(mta.mailbox("bob").find("exe-1@"), std::string::npos);

    // Nothing is left in the spool.
    std::string inbound = mta.agent + "/spool/SMTP/Inbound";
    EXPECT_TRUE(WaitFor([&] { return fs::is_empty(inbound + "/Messages"); }, 5s));

    // Without the milter Postfix answers "try later", never accepts unfiltered.
    mta.milter->signal(SIGTERM);
    ASSERT_TRUE(mta.milter->waitForLine("stopped", 30)) << mta.milter->output();
    EXPECT_EQ(mta.milter->wait(), 0);
    int code = mta.send("spam.eml");
    EXPECT_GE(code, 400);
    EXPECT_LT(code, 500);

    // Bounds and the configured refusal: a message over the size is refused before its
    // data, a removed one rejected instead of discarded. The notice goes back by SMTP
    // this time, through the milter again, and is let through.
    ASSERT_TRUE(mta.startMilter({"--max-size", "2000", "--reject", "554 5.7.1 Not here", "--submit",
                                 "127.0.0.1:" + std::to_string(mta.port)}))
        << mta.milter->output();
    EXPECT_EQ(mta.send("report.eml"), 552);
    EXPECT_EQ(mta.send("exe.eml"), 554);
    EXPECT_TRUE(mta.milter->waitForLine("came back, let through", 20)) << mta.milter->output();
    auto notices = [&] {
        std::string box = mta.mailbox("ann");
        std::size_t n = 0;
        for (std::size_t at = 0;
             (at = box.find("Subject: Your message was not delivered\n", at)) != std::string::npos;
             ++at)
            ++n;
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return notices() == 2; }));
}

}  // namespace
}  // namespace kz::test
