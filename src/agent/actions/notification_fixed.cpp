#include "actions/notification_fixed.h"

#include "base/format.h"
#include "message/message_header_text.h"

namespace kz::actions {

namespace {

constexpr const char* kAutoSubmitted = "Auto-Submitted: auto-replied\n";
constexpr const char* kPrecedence = "Precedence: bulk\n";

std::string toLine(const FixedNotificationFields& fields) {
    if (fields.kind == NotificationKind::Recipients) return "To: Undisclosed-Recipients\n";
    return FormatHeaderLine("To", "<" + fields.toAddress + ">");
}

}  // namespace

std::string FixedNotification(const FixedNotificationFields& fields) {
    std::string out = FormatHeaderLine("Message-ID", fields.messageIdText);
    out += FormatHeaderLine("From", "\"Message Filter Agent\" <" + fields.senderAddress + ">");
    out += toLine(fields);
    out += FormatHeaderLine("Subject", "Message Filter Notification: " + fields.filterDescription);
    out += FormatHeaderLine("Date", fields.dateText);
    out += fields.loopLines;
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
