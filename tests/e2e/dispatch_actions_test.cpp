// One filter whose actions rewrite the message, notify its sender, forward it and run a
// program, through the loaded library; and the mail those actions queue.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

// The messages the run added to the queue, by the recipients of their envelopes.
std::map<std::string, std::string> NewMessagesByRecipients(const DispatchServer& server,
                                                           const std::string& filtered) {
    std::map<std::string, std::string> byRecipients;
    for (const std::string& id : DispatchServer::files(server.inbound)) {
        if (id == filtered) continue;
        std::string envelope = readFile(server.commandFile(id));
        std::size_t at = envelope.find("Recipients=");
        std::string recipients = at == std::string::npos
                                     ? ""
                                     : envelope.substr(at + 11, envelope.find('\r', at) - at - 11);
        byRecipients[recipients] = id;
    }
    return byRecipients;
}

// One run for the suite; each test reads what it left.
class DispatchActions : public testing::Test {
  protected:
    struct Run {
        DispatchServer server{"combined"};
        RunOutput out;
        std::map<std::string, std::string> queued;
    };
    static void SetUpTestSuite() {
        run_ = std::make_unique<Run>();
        run_->server.queue("PRIZE.MAI", "prize");
        run_->out = run_->server.filter({"PRIZE.MAI"});
        run_->queued = NewMessagesByRecipients(run_->server, "PRIZE.MAI");
    }
    static void TearDownTestSuite() { run_.reset(); }
    void SetUp() override { ASSERT_EQ(out.status, 0) << out.err; }

    static inline std::unique_ptr<Run> run_;
    DispatchServer& server = run_->server;
    const RunOutput& out = run_->out;
    std::map<std::string, std::string>& queued = run_->queued;
};

TEST_F(DispatchActions, EveryActionOfTheFilterRunsInOrderAndIsRecorded) {
    std::vector<std::string> lines = server.executedLines();
    ASSERT_EQ(lines.size(), 1u) << server.reportLog();
    EXPECT_EQ(lines[0],
              "Executed\tPRIZE.MAI\tSMTP\tPrize notice\tADD_HEADER,ADD_SUBJECT_PREFIX,NOTIFY_"
              "SENDER,FORWARD_TO_ADDRESS,EXECUTE_APPLICATION\t\t[SMTP:carl@example.net]\t192.0.2."
              "17\tCRITERIA=SUBJECT, DATA=<MF-W>lottery</MF-W>\tClaim your lottery prize");

    std::string message = readFile(server.messageFile("PRIZE.MAI"));
    EXPECT_NE(message.find("X-KZ-Reason: SUBJECT carl@example.net\r\n"), std::string::npos)
        << message;
    EXPECT_NE(message.find("Subject: *SUBJECT* Claim your lottery prize\r\n"), std::string::npos)
        << message;
    EXPECT_NE(message.find("\r\n\r\nDear friend, you are a winner in our draw.\r\n"),
              std::string::npos)
        << message;
    EXPECT_EQ(readFile(server.dir.file("args.txt")), "PRIZE.MAI\nSMTP\n");
}

TEST_F(DispatchActions, TheSenderIsNotifiedFromTheTemplate) {
    ASSERT_EQ(queued.count("[SMTP:carl@example.net]"), 1u) << out.out;
    const std::string& id = queued["[SMTP:carl@example.net]"];
    std::string envelope = readFile(server.commandFile(id));
    EXPECT_NE(envelope.find("Sender=[SMTP:postmaster@example.com]\r\n"), std::string::npos)
        << envelope;
    std::string notice = readFile(server.messageFile(id));
    EXPECT_NE(notice.find("To: <carl@example.net>\r\n"), std::string::npos) << notice;
    EXPECT_NE(notice.find("Subject: Your lottery message was held by Prize notice\r\n"
                          "Message-ID: <" +
                          id + "@example.com>\r\nX-KZFilter: 1\r\nX-KZFilter-Seal: "),
              std::string::npos)
        << notice;
    EXPECT_NE(notice.find("Your message matched SUBJECT (Lottery scam).\r\n"), std::string::npos)
        << notice;
}

TEST_F(DispatchActions, TheForwardCarriesTheRewrittenMessage) {
    ASSERT_EQ(queued.count("[SMTP:archive@example.org]"), 1u) << out.out;
    std::string forward = readFile(server.messageFile(queued["[SMTP:archive@example.org]"]));
    EXPECT_NE(forward.find("X-KZFilter: 1\r\n"), std::string::npos) << forward;
    EXPECT_NE(forward.find("Subject: *SUBJECT* Claim your lottery prize\r\n"), std::string::npos)
        << forward;
    EXPECT_NE(forward.find("Dear friend, you are a winner in our draw.\r\n"), std::string::npos)
        << forward;
}

TEST_F(DispatchActions, MailQueuedByTheActionsIsNotFilteredAgain) {
    ASSERT_EQ(queued.size(), 2u) << out.out;
    std::vector<std::string> ids;
    std::map<std::string, std::string> before;
    for (const auto& [recipients, id] : queued) {
        ids.push_back(id);
        before[id] = readFile(server.messageFile(id));
    }
    RunOutput again = server.filter(ids);
    ASSERT_EQ(again.status, 0) << again.err;
    // Both carry the loop header, and both would meet the filter's subject criterion.
    EXPECT_EQ(again.out.find("satisfied"), std::string::npos) << again.out;
    EXPECT_EQ(again.out.find("ProcessFilter"), std::string::npos) << again.out;
    EXPECT_EQ(server.executedLines().size(), 1u) << server.reportLog();
    EXPECT_EQ(NewMessagesByRecipients(server, "PRIZE.MAI"), queued);
    for (const auto& [id, text] : before) EXPECT_EQ(readFile(server.messageFile(id)), text);
}

}  // namespace
}  // namespace kz::test
