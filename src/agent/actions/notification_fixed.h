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
    std::string loopLines;  // the loop header and the seal, each with a line feed
    std::string reason;     // the action description, tokens expanded
    std::vector<std::string> headerLines;
};

// The whole notification text. Header lines come from FormatHeaderLine, so a line break
// in a value becomes a blank and cannot start a header of its own; they end in CR LF,
// the other lines in a line feed.
std::string FixedNotification(const FixedNotificationFields& fields);

}  // namespace kz::actions
