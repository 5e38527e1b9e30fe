#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "actions/notification_template.h"
#include "actions/notifications.h"
#include "config/settings.h"
#include "message/envelope.h"
#include "support/case_file.h"
#include "unit/actions/actions_fixture.h"
#include "unit/message/installed_seal.h"

namespace kz::test {
namespace {

using actions::NotifyAddress;
using actions::NotifyRecipients;
using actions::NotifySender;

constexpr std::string_view kMatch =
    "<MSG>0F1E.MAI</MSG><CON>SMTP</CON><ACCOUNT>example.com</ACCOUNT>"
    "<SENDER>carl@example.net</SENDER><IP>192.0.2.17</IP><CRITERIA>SUBJECT</CRITERIA>"
    "<MF-W>cheap</MF-W><MF-W>watches</MF-W>";
constexpr std::string_view kFilter = "Spam filter";

std::string notifyFixture(std::string_view name) {
    return readFile(fixture("notify/" + std::string(name)));
}

// The header lines of a notification, line ends removed.
std::vector<std::string> headerLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != at && end != text.npos;
         at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// A queued message about "Cheap watches" with templates in the configuration directory.
class NotificationTest : public ActionsTest {
  protected:
    void SetUp() override {
        ActionsTest::SetUp();
        setString(config::kSmtpKey, config::kBadMailNotificationSenderAddress,
                  "postmaster@example.test");
        setString(config::kSmtpKey, config::kLocalDomainName, "example.test");
        setString(config::kProductKey, config::kConfigurationDirectory, fixture("notify/config"));
        config::ReadAttachSettings();
        config::ReadRunDirectories();
        writeFile(commandFile(), queueFixture("all_keys.cmd"));
        queueFiltered("filtered.eml");
    }

    void queueFiltered(std::string_view messageFixture) {
        writeFile(messageFile(), notifyFixture(messageFixture));
        filtered_ = context();
        ASSERT_TRUE(ReadEnvelope(filtered_));
    }

    // Runs one call, keeping what it wrote to standard output.
    int traced(const std::function<int()>& call) {
        testing::internal::CaptureStdout();
        int result = call();
        trace_ = testing::internal::GetCapturedStdout();
        return result;
    }

    std::vector<std::string> queued() const {
        return strayNames(inbound(), {std::string(kMessageId), "Messages"});
    }
    bool nothingQueued() const {
        return queued().empty() &&
               strayNames(inbound() + "/Messages", {std::string(kMessageId)}).empty();
    }

    // The message text of the one notification queued, then removed; its envelope goes
    // to notice_.
    std::string takeNotification() {
        std::vector<std::string> ids = queued();
        EXPECT_EQ(ids.size(), 1u);
        if (ids.empty()) return {};
        id_ = ids[0];
        notice_ = context();
        notice_.messageId = id_;
        EXPECT_TRUE(ReadEnvelope(notice_));
        std::string text = readFile(inbound() + "/Messages/" + id_);
        platform::removeFile(inbound() + "/" + id_);
        platform::removeFile(inbound() + "/Messages/" + id_);
        return text;
    }

    // The notification in the form of the expected files: its name as @ID@, the date of its
    // own header as @DATE@.
    std::string expected(std::string text) const {
        for (std::size_t at; !id_.empty() && (at = text.find(id_)) != std::string::npos;)
            text.replace(at, id_.size(), "@ID@");
        const std::size_t body = std::min(text.find("\r\n\r\n"), text.size());
        return std::regex_replace(text.substr(0, body), std::regex("Date: [^\r]*"),
                                  "Date: @DATE@") +
               text.substr(body);
    }

    MessageContext filtered_;
    std::string trace_;
    std::string id_;
    MessageContext notice_;
};

// The reason line expands tokens of the match and the filter.
TEST_F(NotificationTest, FixedSenderNotificationQueuesHeadersReasonAndFilteredHeaders) {
    EXPECT_EQ(traced([&] {
                  return NotifySender(filtered_, "", kMatch, kFilter,
                                      "[KZ_CRITERIA] hit by [KZ_FILTERNAME]");
              }),
              1);
    EXPECT_EQ(trace_, "Sending Notification to Sender: ([SMTP:carl@example.net])\n");
    EXPECT_EQ(expected(takeNotification()), notifyFixture("expected/fixed_sender.eml"));
    EXPECT_EQ(notice_.recipients, "[SMTP:carl@example.net]");
    EXPECT_EQ(notice_.sender, "[SMTP:postmaster@example.test]");
    EXPECT_EQ(notice_.status, "Undelivered");
    EXPECT_EQ(notice_.timeAcquired, 1700000000);
    EXPECT_EQ(readFile(messageFile()), notifyFixture("filtered.eml"));
    EXPECT_EQ(readFile(commandFile()), queueFixture("all_keys.cmd"));
}

TEST_F(NotificationTest, FixedAddressAndRecipientsNotificationsPutPrecedenceFirst) {
    EXPECT_EQ(NotifyAddress(filtered_, "<REFERENCE><ADDRESS>boss@example.test</ADDRESS>", kMatch,
                            kFilter, "x"),
              1);
    std::vector<std::string> headers = headerLines(takeNotification());
    ASSERT_EQ(headers.size(), 8u);
    EXPECT_EQ(headers[2] + "|" + headers[6] + "|" + headers[7],
              "To: <boss@example.test>|Precedence: bulk|Auto-Submitted: auto-replied");
    EXPECT_EQ(notice_.recipients, "[SMTP:boss@example.test]");
    // A template that cannot be read gives the fixed notification.
    EXPECT_TRUE(NotifyRecipients(filtered_, "ABSENT", kMatch, kFilter, "x"));
    headers = headerLines(takeNotification());
    ASSERT_EQ(headers.size(), 8u);
    EXPECT_EQ(headers[2] + "|" + headers[6] + "|" + headers[7],
              "To: Undisclosed-Recipients|Precedence: bulk|Auto-Submitted: auto-replied");
    EXPECT_EQ(notice_.recipients, "[SMTP:anna@example.com];[SMTP:bert@example.org]");
}

TEST_F(NotificationTest, AddressDataWithoutReferenceOrAddressOrAMissingMessageSendsNothing) {
    for (const CaseLine& c : ReadCaseFile("notify/address_data_cases.txt")) {
        const std::string& data = c.fields[0];
        EXPECT_EQ(traced([&] { return NotifyAddress(filtered_, data, kMatch, kFilter, "x"); }), 0);
        EXPECT_EQ(trace_, c.fields[1] == "-" ? "" : c.fields[1] + "\n") << data;
        EXPECT_TRUE(nothingQueued()) << data;
    }
    // Whatever a notification queues goes through QueueNewMessage, whose failing steps are
    // shown there; here only a filtered message that is gone.
    platform::removeFile(messageFile());
    EXPECT_EQ(traced([&] { return NotifySender(filtered_, "", kMatch, kFilter, "x"); }), 0);
    EXPECT_EQ(NotifyRecipients(filtered_, "NOTICE", kMatch, kFilter, "x"), 0);
    EXPECT_TRUE(nothingQueued());
}

TEST_F(NotificationTest, TemplateGetsTokensHeadersAndTheLoopHeaderBeforeItsBody) {
    EXPECT_EQ(traced([&] {
                  return NotifyAddress(filtered_,
                                       "<REFERENCE><FILE>NOTICE</FILE>"
                                       "<ADDRESS> boss@example.test </ADDRESS>",
                                       kMatch, kFilter, "Spam");
              }),
              1);
    EXPECT_NE(trace_.find("/FILTERS/Templates/NOTICE.TXT\n"), std::string::npos);
    EXPECT_NE(trace_.find("Sending Notification to address: (boss@example.test)\n"),
              std::string::npos);
    EXPECT_EQ(expected(takeNotification()), notifyFixture("expected/template.eml"));
    EXPECT_EQ(notice_.recipients, "[SMTP:boss@example.test]");
}

TEST_F(NotificationTest, TemplateLoopHeaderIsAddedOnlyWhenMissingTheSealAlways) {
    InstalledSeal installed;
    auto sealLine = [&] { return "X-KZFilter-Seal: " + installed.seal.sealFor(id_) + "\r\n"; };
    EXPECT_TRUE(NotifyRecipients(filtered_, "MARKED", kMatch, kFilter, "x"));
    std::string text = takeNotification();
    EXPECT_EQ(text, "Subject: marked already\r\nx-kzfilter: 7\r\n" + sealLine() + "\r\nBody\r\n");
    // Without an empty line the loop header ends the text.
    EXPECT_TRUE(NotifyRecipients(filtered_, "HEADERSONLY", kMatch, kFilter, "x"));
    text = takeNotification();
    EXPECT_EQ(text, "Subject: no body\r\nFrom: <postmaster@example.test>\r\nX-KZFilter: 1\r\n" +
                        sealLine());
    EXPECT_TRUE(NotifySender(filtered_, "", kMatch, kFilter, "x"));
    text = takeNotification();
    EXPECT_NE(text.find("\r\nX-KZFilter: 1\r\n" + sealLine()), std::string::npos) << text;

    // Nothing is queued about the agent's own message.
    filtered_.ownMessage = true;
    EXPECT_EQ(traced([&] { return NotifySender(filtered_, "", kMatch, kFilter, "x"); }), 0);
    EXPECT_TRUE(nothingQueued());
}

TEST(TemplateNotification, AHeadersLineIsNoLoopHeaderOfTheTemplate) {
    const std::string text =
        actions::TemplateNotification("N.MAI", "Subject: x\nX-KZFilter: [KZ_HEADERS]\n\nBody\n",
                                      {"Received: a"}, {}, "", TextLimit{1024});
    EXPECT_EQ(text, "Subject: x\nReceived: a\nX-KZFilter: 1\n\nBody\n");
}

TEST_F(NotificationTest, LineBreaksInValuesNeverStartAHeaderLine) {
    filtered_.sender = "[SMTP:carl@example.net\rBcc: v@example.org]";
    EXPECT_TRUE(NotifySender(filtered_, "", kMatch, "Spam\r\nBcc: w@example.org", "x"));
    std::vector<std::string> headers = headerLines(takeNotification());
    ASSERT_EQ(headers.size(), 8u);
    EXPECT_EQ(headers[2], "To: <carl@example.net Bcc: v@example.org>");
    EXPECT_EQ(headers[3], "Subject: Message Filter Notification: Spam  Bcc: w@example.org");
    // Template tokens, and the filtered message's own header lines.
    writeFile(messageFile(), "Subject: hi\rBcc: x@example.org\r\n\r\nBody\r\n");
    EXPECT_TRUE(NotifyRecipients(filtered_, "NOTICE", kMatch, "Spam\rBcc: w@example.org", "x"));
    std::string text = takeNotification();
    EXPECT_NE(text.find("Subject: Spam Bcc: w@example.org held your message\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Subject: hi Bcc: x@example.org\r\n"), std::string::npos) << text;
}

TEST_F(NotificationTest, TokenThatWouldOverrunTheLineStaysInPlace) {
    // 35 characters besides the token, and 1000 for it: over the 1023 of a sender
    // notification's line, within the 2047 of the others.
    std::string longName(1000, 'f');
    EXPECT_TRUE(NotifySender(filtered_, "NOTICE", kMatch, longName, "x"));
    EXPECT_NE(takeNotification().find("Subject: [KZ_FILTERNAME] held your message\r\n"),
              std::string::npos);
    EXPECT_TRUE(NotifyRecipients(filtered_, "NOTICE", kMatch, longName, "x"));
    EXPECT_NE(takeNotification().find("Subject: " + longName + " held"), std::string::npos);
}

TEST_F(NotificationTest, NoSenderNotificationToNullSendersOrAutomaticMail) {
    const auto cases = ReadCaseFile("notify/sender_cases.txt");
    EXPECT_EQ(cases.size(), 8u);
    for (const CaseLine& c : cases) {
        const std::string line = c.fields[2] == "-" ? "" : c.fields[2] + "\n";
        queueFiltered(c.fields[1]);
        filtered_.sender = c.fields[0];
        int result = traced([&] { return NotifySender(filtered_, "", kMatch, kFilter, "x"); });
        EXPECT_EQ(result, line.empty() ? 1 : 0) << "line " << c.number;
        EXPECT_EQ(trace_,
                  line.empty() ? "Sending Notification to Sender: ([SMTP:c@example.net])\n" : line);
        EXPECT_EQ(queued().size(), line.empty() ? 1u : 0u) << "line " << c.number;
        if (line.empty()) takeNotification();
    }
}

}  // namespace
}  // namespace kz::test
