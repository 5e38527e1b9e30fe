#include <optional>

#include "actions/notification_guard.h"
#include "actions/notification_lines.h"
#include "actions/notification_queue.h"
#include "actions/notifications.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "log/trace.h"
#include "message/envelope_address.h"

namespace kz::actions {

namespace {

constexpr TextLimit kAddressLimit{1024};

// The bare address of the envelope sender; a value that is not "[type:address]" is
// taken as it stands.
std::string SenderAddress(std::string_view sender) {
    if (sender.find(':') == std::string_view::npos || sender.find(']') == std::string_view::npos)
        return std::string(sender);
    std::string address;
    ExtractEnvelopeAddress(sender, address, kAddressLimit);
    return address;
}

}  // namespace

bool NotifySender(MessageContext& context, std::string_view templateName,
                  std::string_view matchDescription, std::string_view filterDescription,
                  std::string_view actionDescription, const QueueStepHook& hook) {
    std::string address = SenderAddress(context.sender);
    std::optional<std::vector<std::string>> headers = ReadFilteredHeaderLines(context);
    if (!headers) return false;
    if (std::optional<std::string> refusal = SenderNotificationRefusal(address, *headers)) {
        log::Trace("%s", refusal->c_str());
        return false;
    }
    log::Trace("Sending Notification to Sender: (%s)\n", context.sender.c_str());
    NotificationRequest request;
    request.kind = NotificationKind::Sender;
    request.templateName = templateName;
    request.toAddress = address;
    request.recipients = context.sender;
    request.texts = {matchDescription, filterDescription, actionDescription};
    return QueueNotification(context, request, *headers, hook);
}

}  // namespace kz::actions
