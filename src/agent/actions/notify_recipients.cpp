#include <optional>

#include "actions/notification_lines.h"
#include "actions/notification_queue.h"
#include "actions/notifications.h"

namespace kz::actions {

bool NotifyRecipients(MessageContext& context, std::string_view templateName,
                      std::string_view matchDescription, std::string_view filterDescription,
                      std::string_view actionDescription, const QueueStepHook& hook) {
    std::optional<std::vector<std::string>> headers = ReadFilteredHeaderLines(context);
    if (!headers) return false;
    NotificationRequest request;
    request.kind = NotificationKind::Recipients;
    request.templateName = templateName;
    request.recipients = context.recipients;
    request.texts = {matchDescription, filterDescription, actionDescription};
    return QueueNotification(context, request, *headers, hook);
}

}  // namespace kz::actions
