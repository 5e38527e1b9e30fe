#include <gtest/gtest.h>

#include <functional>

#include "unit/actions/notification_fixture.h"

namespace kz::test {
namespace {

using actions::NotifyAddress;
using actions::NotifyRecipients;
using actions::NotifySender;

constexpr std::string_view kBossReference =
    "<REFERENCE><FILE>NOTICE</FILE><ADDRESS> boss@example.test </ADDRESS>";

// The header lines of a notification, line ends removed.
std::vector<std::string> headerLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find("\r\n", at);
        if (end == at || end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

TEST_F(NotificationTest, FixedSenderNotificationQueuesHeadersReasonAndFilteredHeaders) {
    EXPECT_EQ(traced([&] { return NotifySender(filtered_, "", kMatch, kFilter, "Spam"); }), 1);
    EXPECT_EQ(trace_, "Sending Notification to Sender: ([SMTP:carl@example.net])\n");
    std::string text = notificationText();
    std::vector<std::string> headers = headerLines(text);
    ASSERT_EQ(headers.size(), 8u);
    EXPECT_EQ(headers[0], "Message-ID: <" + id_ + "@example.test>");
    EXPECT_EQ(headers[1], "From: \"Message Filter Agent\" <postmaster@example.test>");
    EXPECT_EQ(headers[2], "To: <carl@example.net>");
    EXPECT_EQ(headers[3], "Subject: Message Filter Notification: Spam filter");
    EXPECT_TRUE(headers[4].starts_with("Date: "));
    EXPECT_EQ(headers[5], "X-KZFilter: 1");
    EXPECT_EQ(headers[6], "Auto-Submitted: auto-replied");
    EXPECT_EQ(headers[7], "Precedence: bulk");
    // One CR LF per line: the body's line break inside its first text line included.
    EXPECT_EQ(text.substr(text.find("\r\n\r\n") + 4),
              "\r\nKaztrel: Kaztrel Message Scan intercepted the delivery of this message. \r\n"
              "Reason: (Spam)\r\n\r\nMessage headers follow:\r\n\r\n" +
                  filteredHeaders());
    EXPECT_EQ(notice_.Recipients, "[SMTP:carl@example.net]");
    EXPECT_EQ(notice_.Sender, "[SMTP:postmaster@example.test]");
    EXPECT_EQ(notice_.Status, "Undelivered");
    EXPECT_EQ(notice_.Server, "mx1.example.net");
    EXPECT_EQ(notice_.TimeAcquired, 1700000000);
    EXPECT_EQ(readFile(messageFile()), notifyFixture("filtered.eml"));
    EXPECT_EQ(readFile(commandFile()), queueFixture("all_keys.cmd"));
}

TEST_F(NotificationTest, FixedAddressAndRecipientsNotificationsPutPrecedenceFirst) {
    struct Case {
        std::function<int()> call;
        std::string to, recipients;
    };
    const Case cases[] = {
        {[&] {
             return NotifyAddress(filtered_, "<REFERENCE><ADDRESS>boss@example.test</ADDRESS>",
                                  kMatch, kFilter, "x");
         },
         "To: <boss@example.test>", "[SMTP:boss@example.test]"},
        {[&] { return NotifyRecipients(filtered_, "ABSENT", kMatch, kFilter, "x"); },
         "To: Undisclosed-Recipients", "[SMTP:anna@example.com];[SMTP:bert@example.org]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), 1);
        std::vector<std::string> headers = headerLines(notificationText());
        ASSERT_EQ(headers.size(), 8u);
        EXPECT_EQ(headers[2], c.to);
        EXPECT_EQ(headers[6], "Precedence: bulk");
        EXPECT_EQ(headers[7], "Auto-Submitted: auto-replied");
        EXPECT_EQ(notice_.Recipients, c.recipients);
        forgetNotification();
    }
}

TEST_F(NotificationTest, ReasonLineExpandsTokensOfTheMatchAndTheFilter) {
    EXPECT_EQ(NotifySender(filtered_, "", kMatch, kFilter, "[KZ_CRITERIA] hit by [KZ_FILTERNAME]"),
              1);
    EXPECT_NE(notificationText().find("\r\nReason: (SUBJECT hit by Spam filter)\r\n"),
              std::string::npos);
}

TEST_F(NotificationTest, AddressDataWithoutReferenceOrAddressSendsNothing) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"<reference><ADDRESS>boss@example.test</ADDRESS>", ""},
        {"<ADDRESS>boss@example.test</ADDRESS>", ""},
        {"<REFERENCE><FILE>NOTICE</FILE>", "No recipient address defined for notification\n"},
        {"<REFERENCE><ADDRESS>  </ADDRESS>", "No recipient address defined for notification\n"},
        {"<REFERENCE><ADDRESS>boss@example.test",
         "No recipient address defined for notification\n"},
    };
    for (const auto& [data, line] : cases) {
        EXPECT_EQ(traced([&] { return NotifyAddress(filtered_, data, kMatch, kFilter, "x"); }), 0);
        EXPECT_EQ(trace_, line) << data;
        EXPECT_TRUE(nothingQueued()) << data;
    }
}

TEST_F(NotificationTest, TemplateGetsTokensHeadersAndTheLoopHeaderBeforeItsBody) {
    EXPECT_EQ(
        traced([&] { return NotifyAddress(filtered_, kBossReference, kMatch, kFilter, "Spam"); }),
        1);
    EXPECT_NE(trace_.find("/FILTERS/Templates/NOTICE.TXT\n"), std::string::npos);
    EXPECT_NE(trace_.find("Sending Notification to address: (boss@example.test)\n"),
              std::string::npos);
    std::string text = notificationText();  // names the notification
    EXPECT_EQ(text,
              "From: \"Filter\" <postmaster@example.test>\r\n"
              "To: <carl@example.net>\r\n"
              "Subject: Spam filter held your message\r\n"
              "Message-ID: <" +
                  id_ +
                  "@example.test>\r\n"
                  "X-KZFilter: 1\r\n"
                  "\r\n"
                  "Rule Spam filter (Spam) matched on SUBJECT, words cheap,watches.\r\n" +
                  filteredHeaders() + "End of notice.\r\n");
    EXPECT_EQ(notice_.Recipients, "[SMTP:boss@example.test]");
}

TEST_F(NotificationTest, TemplateLoopHeaderIsAddedOnlyWhenMissing) {
    const std::pair<std::string_view, std::string> cases[] = {
        {"MARKED", "Subject: marked already\r\nx-kzfilter: 7\r\n\r\nBody\r\n"},
        {"HEADERSONLY", "Subject: no body\r\nFrom: <postmaster@example.test>\r\nX-KZFilter: 1\r\n"},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(NotifyRecipients(filtered_, name, kMatch, kFilter, "x"), 1);
        EXPECT_EQ(notificationText(), expected) << name;
        forgetNotification();
    }
}

TEST_F(NotificationTest, TokenThatWouldOverrunTheLineStaysInPlace) {
    // The subject line has 35 characters besides its token: 1000 more overrun the 1023
    // characters of a sender notification's line, not the 2047 of the others.
    std::string longName(1000, 'f');
    EXPECT_EQ(NotifySender(filtered_, "NOTICE", kMatch, longName, "x"), 1);
    EXPECT_NE(notificationText().find("Subject: [KZ_FILTERNAME] held your message\r\n"),
              std::string::npos);
    forgetNotification();
    EXPECT_EQ(NotifyRecipients(filtered_, "NOTICE", kMatch, longName, "x"), 1);
    EXPECT_NE(notificationText().find("Subject: " + longName + " held"), std::string::npos);
}

}  // namespace
}  // namespace kz::test
