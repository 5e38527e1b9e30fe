#include <gtest/gtest.h>

#include "unit/actions/notification_fixture.h"

namespace kz::test {
namespace {

using actions::NotifyAddress;
using actions::NotifyRecipients;
using actions::NotifySender;

TEST_F(NotificationTest, NoSenderNotificationToNullSendersOrAutomaticMail) {
    struct Case {
        std::string_view sender, message, line;  // an empty line: the notification is sent
    };
    const Case cases[] = {
        {"", "filtered.eml", "Notification not sent: the message has no sender\n"},
        {"[SMTP:]", "filtered.eml", "Notification not sent: the message has no sender\n"},
        {"[SMTP:<>]", "filtered.eml", "Notification not sent: the message has no sender\n"},
        {"<>", "filtered.eml", "Notification not sent: the message has no sender\n"},
        {"[SMTP:carl@example.net]", "auto_replied.eml",
         "Notification not sent: the message is Auto-Submitted: auto-replied\n"},
        {"[SMTP:carl@example.net]", "precedence_bulk.eml",
         "Notification not sent: the message has Precedence: BULK\n"},
        {"[SMTP:carl@example.net]", "precedence_list.eml",
         "Notification not sent: the message has Precedence: list\n"},
        {"[SMTP:carl@example.net]", "precedence_junk.eml",
         "Notification not sent: the message has Precedence: junk\n"},
        {"[SMTP:carl@example.net]", "auto_no.eml", ""},
        {"[SMTP:carl@example.net]", "precedence_first_class.eml", ""},
    };
    for (const Case& c : cases) {
        queueFiltered(c.message);
        filtered_.Sender = c.sender;
        int result = traced([&] { return NotifySender(filtered_, "", kMatch, kFilter, "x"); });
        if (c.line.empty()) {
            EXPECT_EQ(result, 1) << c.message;
            EXPECT_EQ(queued().size(), 1u) << c.message;
            notificationText();
            forgetNotification();
        } else {
            EXPECT_EQ(result, 0) << c.sender << " " << c.message;
            EXPECT_EQ(trace_, c.line);
            EXPECT_TRUE(nothingQueued());
        }
    }
}

TEST_F(NotificationTest, FailuresLeaveNoPartOfTheNotification) {
    const std::function<int(const QueueStepHook&)> calls[] = {
        [&](const QueueStepHook& hook) {
            return NotifySender(filtered_, "", kMatch, kFilter, "x", hook);
        },
        [&](const QueueStepHook& hook) {
            return NotifyAddress(filtered_, "<REFERENCE><ADDRESS>b@example.test</ADDRESS>", kMatch,
                                 kFilter, "x", hook);
        },
        [&](const QueueStepHook& hook) {
            return NotifyRecipients(filtered_, "NOTICE", kMatch, kFilter, "x", hook);
        },
    };
    for (const auto& call : calls) {
        // The message file's steps, then the command file's.
        for (std::string_view step : {kStepWriteTemporary, kStepReplaceTarget}) {
            for (int failing : {1, 2}) {
                int seen = 0;
                auto hook = [&](std::string_view s) { return !(s == step && ++seen == failing); };
                EXPECT_EQ(traced([&] { return call(hook); }), 0) << step << " " << failing;
                EXPECT_TRUE(nothingQueued()) << step << " " << failing;
            }
        }
    }
    platform::removeFile(messageFile());
    for (const auto& call : calls) {
        EXPECT_EQ(traced([&] { return call({}); }), 0);
        EXPECT_TRUE(nothingQueued());
    }
}

}  // namespace
}  // namespace kz::test
