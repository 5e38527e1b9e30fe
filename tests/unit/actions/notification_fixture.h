#pragma once
// A queued message to notify about, the notification sender and domain, the templates,
// and the notifications that the calls queue beside the message.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "actions/notifications.h"
#include "config/settings.h"
#include "message/envelope.h"
#include "unit/actions/actions_fixture.h"

namespace kz::test {

inline std::string notifyFixture(std::string_view name) {
    return readFile(fixture("notify/" + std::string(name)));
}

class NotificationTest : public ActionsTest {
  protected:
    static constexpr std::string_view kMatch =
        "<MSG>0F1E.MAI</MSG><CON>SMTP</CON><ACCOUNT>example.com</ACCOUNT>"
        "<SENDER>carl@example.net</SENDER><IP>192.0.2.17</IP><CRITERIA>SUBJECT</CRITERIA>"
        "<MF-W>cheap</MF-W><MF-W>watches</MF-W>";
    static constexpr std::string_view kFilter = "Spam filter";

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

    // Runs one notification call, keeping what it wrote to standard output.
    template <typename Call>
    int traced(Call call) {
        testing::internal::CaptureStdout();
        int result = call();
        trace_ = testing::internal::GetCapturedStdout();
        return result;
    }

    // The identifiers queued besides the filtered message.
    std::vector<std::string> queued() const {
        return strayNames(inbound(), {std::string(kMessageId), "Messages"});
    }
    bool nothingQueued() const {
        return queued().empty() &&
               strayNames(inbound() + "/Messages", {std::string(kMessageId)}).empty();
    }

    // The one notification queued: its message text and its envelope.
    std::string notificationText() {
        std::vector<std::string> ids = queued();
        EXPECT_EQ(ids.size(), 1u);
        if (ids.empty()) return {};
        id_ = ids[0];
        notice_ = context();
        notice_.MessageId = id_;
        EXPECT_TRUE(ReadEnvelope(notice_));
        return readFile(inbound() + "/Messages/" + id_);
    }

    void forgetNotification() {
        platform::removeFile(inbound() + "/" + id_);
        platform::removeFile(inbound() + "/Messages/" + id_);
    }

    // The filtered message's header lines as the notification carries them.
    static std::string filteredHeaders() {
        std::string text = notifyFixture("filtered.eml");
        return text.substr(0, text.find("\r\n\r\n") + 2);
    }

    MessageContext filtered_;
    std::string trace_;
    std::string id_;
    MessageContext notice_;
};

}  // namespace kz::test
