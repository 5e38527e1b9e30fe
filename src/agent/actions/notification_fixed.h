#pragma once
// The notification sent when no template is named or the template cannot be read.

#include <string>
#include <vector>

namespace kz::actions {

enum class NotificationKind { Sender, Address, Recipients };

struct FixedNotificationFields {
    NotificationKind kind = NotificationKind::Sender;
    std::string messageIdText;  // "<id@domain>"
    std::string senderAddress;  // the notification sender
    std::string toAddress;      // the To address of the sender and address notifications
    std::string filterDescription;
    std::string dateText;
    std::string reason;  // the action description, tokens expanded
    std::vector<std::string> headerLines;
};

// The whole notification text, line feeds only.
std::string FixedNotification(const FixedNotificationFields& fields);

}  // namespace kz::actions
