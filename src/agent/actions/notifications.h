#pragma once
// Notification messages: a new message, built from a template or a fixed text, queued
// beside the filtered message to tell someone that a filter intercepted it. The filtered
// message stays where it is. Each returns 1 when the notification was queued, else 0.

#include <string_view>

#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz::actions {

// To the envelope sender; the action data is the template name. Nothing goes to a null
// sender or in answer to automatic or bulk mail.
bool NotifySender(MessageContext& context, std::string_view templateName,
                  std::string_view matchDescription, std::string_view filterDescription,
                  std::string_view actionDescription, const QueueStepHook& hook = {});
// To the address of "<REFERENCE>...<FILE>template</FILE><ADDRESS>address</ADDRESS>".
bool NotifyAddress(MessageContext& context, std::string_view addressSpecification,
                   std::string_view matchDescription, std::string_view filterDescription,
                   std::string_view actionDescription, const QueueStepHook& hook = {});
// To the filtered message's own recipients; the action data is the template name.
bool NotifyRecipients(MessageContext& context, std::string_view templateName,
                      std::string_view matchDescription, std::string_view filterDescription,
                      std::string_view actionDescription, const QueueStepHook& hook = {});

}  // namespace kz::actions
