#include "actions/notification_fixed.h"

#include "common/format.h"

namespace kz::actions {

namespace {

constexpr const char* kAutoSubmitted = "Auto-Submitted: auto-replied\n";
constexpr const char* kPrecedence = "Precedence: bulk\n";

std::string toLine(const FixedNotificationFields& fields) {
    if (fields.kind == NotificationKind::Recipients) return "To: Undisclosed-Recipients\n";
    return formatText("To: <%s>\n", fields.toAddress.c_str());
}

}  // namespace

std::string FixedNotification(const FixedNotificationFields& fields) {
    std::string out = formatText("Message-ID: %s\n", fields.messageIdText.c_str());
    out += formatText("From: \"Message Filter Agent\" <%s>\n", fields.senderAddress.c_str());
    out += toLine(fields);
    out +=
        formatText("Subject: Message Filter Notification: %s\n", fields.filterDescription.c_str());
    out += formatText("Date: %s\n", fields.dateText.c_str());
    out += "X-KZFilter: 1\n";
    bool toSender = fields.kind == NotificationKind::Sender;
    out += toSender ? kAutoSubmitted : kPrecedence;
    out += toSender ? kPrecedence : kAutoSubmitted;
    // The body's first line ends in a blank: the line end follows it directly.
    out += "\n\nKaztrel: Kaztrel Message Scan intercepted the delivery of this message. \n";
    out += formatText("Reason: (%s)\n\n", fields.reason.c_str());
    out += "Message headers follow:\n\n";
    for (const std::string& header : fields.headerLines) out.append(header).append("\n");
    return out;
}

}  // namespace kz::actions
