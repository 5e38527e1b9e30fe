// Names and sizes an outsider or a careless administrator controls, through the loaded
// library: attachment names, template and criteria names that point out of their
// folders, and fields too long for a report line.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at; (at = text.find(from)) != std::string::npos;)
        text.replace(at, from.size(), to);
    return text;
}

// FILTER.TAB: a long subject pattern, an attachment rule "*.exe" whose actions name the
// template "..\..\SECRET", and a filter whose criteria name is "..\ESCAPE".
// One run for the suite; each test reads what it left.
class DispatchNames : public testing::Test {
  protected:
    struct Run {
        DispatchServer server{"names"};
        RunOutput out;
        std::string message;
    };
    static void SetUpTestSuite() {
        run_ = std::make_unique<Run>();
        DispatchServer& server = run_->server;
        const std::string subject = std::string(1015, 'y');
        const std::string sender = std::string(300, 'c') + "@example.net";
        std::string envelope = readFile(fixture("dispatch/messages/invoice.cmd"));
        envelope = Replaced(Replaced(envelope, "@SUBJECT@", subject), "carl@example.net", sender);
        writeFile(server.commandFile("INVOICE.MAI"), envelope);
        writeFile(
            server.messageFile("INVOICE.MAI"),
            Replaced(readFile(fixture("dispatch/messages/invoice.eml")), "@SUBJECT@", subject));
        run_->out = server.filter({"INVOICE.MAI"});
        run_->message = readFile(server.messageFile("INVOICE.MAI"));
    }
    static void TearDownTestSuite() { run_.reset(); }
    void SetUp() override { ASSERT_EQ(out.status, 0) << out.err; }

    static inline std::unique_ptr<Run> run_;
    const DispatchServer& server = run_->server;
    const RunOutput& out = run_->out;
    const std::string& message = run_->message;
};

TEST_F(DispatchNames, ARepeatedExtensionMeetsTheAttachmentRule) {
    EXPECT_NE(message.find("X-KZ-Attachment: executable\r\n"), std::string::npos) << message;
}

TEST_F(DispatchNames, NamesThatLeaveTheirFoldersAreRefusedAndLogged) {
    std::string log = server.reportLog();
    // The criteria name would reach FILTERS\ESCAPE.KZS, a script that always holds.
    EXPECT_EQ(message.find("X-KZ-Escape"), std::string::npos) << message;
    EXPECT_NE(log.find("Filter (Escape) refused: its criteria name (..\\ESCAPE) is not a plain "
                       "file name. The filter never holds.\n"),
              std::string::npos)
        << log;

    // The template name would reach the configuration folder's SECRET.TXT; the sender
    // gets the fixed notification instead.
    EXPECT_NE(log.find("Notification template name (..\\..\\SECRET) refused: not a plain file "
                       "name. The fixed notification is sent instead.\n"),
              std::string::npos)
        << log;
    std::set<std::string> queued =
        DispatchServer::files(server.dir.file("queue/SMTP/Inbound/Messages"));
    ASSERT_EQ(queued.size(), 2u);
    for (const std::string& id : queued) {
        if (id == "INVOICE.MAI") continue;
        std::string notification = readFile(server.messageFile(id));
        EXPECT_EQ(notification.find("SECRET"), std::string::npos) << notification;
        EXPECT_NE(notification.find("Subject: Message Filter Notification: Executable attachment"),
                  std::string::npos)
            << notification;
    }
}

TEST_F(DispatchNames, AReportLineTooLongForItsBufferKeepsItsColumnsAndItsLineEnd) {
    std::istringstream log(server.reportLog());
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("\tEnd\t"), std::string::npos) << lines.back();

    std::vector<std::string> executed = server.executedLines();
    ASSERT_EQ(executed.size(), 2u);
    const std::string& cut = executed[1];
    // Within the 2048-byte buffer with its line feed, and cut no shorter than needed.
    EXPECT_LE(cut.size(), 2046u);
    EXPECT_GT(cut.size(), 2036u);
    EXPECT_EQ(std::count(cut.begin(), cut.end(), '\t'), 9) << cut;
    EXPECT_TRUE(cut.starts_with("Executed\tINVOICE.MAI\tSMTP\tExecutable attachment ddd")) << cut;
    EXPECT_NE(cut.find("\tADD_HEADER,NOTIFY_SENDER\t"), std::string::npos) << cut;
}

}  // namespace
}  // namespace kz::test
