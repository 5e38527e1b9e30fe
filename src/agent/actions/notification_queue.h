#pragma once
// Building a notification and queueing it as a new message beside the filtered one.

#include <string>
#include <string_view>
#include <vector>

#include "actions/notification_fixed.h"
#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz::actions {

// The texts the dispatcher hands over: the tagged match description for the result
// tokens, the filter's description and the action line's description (the reason).
struct NotificationTexts {
    std::string_view matchDescription;
    std::string_view filterDescription;
    std::string_view actionDescription;
};

struct NotificationRequest {
    NotificationKind kind = NotificationKind::Sender;
    std::string templateName;  // empty for the fixed notification
    std::string toAddress;     // To line of the fixed sender and address notifications
    std::string recipients;    // envelope recipients of the notification
    NotificationTexts texts;
};

// Builds the notification from the template, or the fixed text when there is none or it
// cannot be read, and queues it in the filtered message's Inbound queue under a new
// identifier, from the notification sender. It becomes visible only complete, message
// file first; on failure nothing of it is left. True when it was queued.
bool QueueNotification(const MessageContext& context, const NotificationRequest& request,
                       const std::vector<std::string>& headerLines, const QueueStepHook& hook);

}  // namespace kz::actions
