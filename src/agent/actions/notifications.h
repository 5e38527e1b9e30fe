#pragma once
// Notification messages built from templates and queued as new messages.

#include <string_view>

#include "message/message_context.h"

namespace kz::actions {

int NotifySender(MessageContext& context, std::string_view templateName,
                 std::string_view matchDescription, std::string_view filterDescription,
                 std::string_view actionDescription);
int NotifyAddress(MessageContext& context, std::string_view addressSpecification,
                  std::string_view matchDescription, std::string_view filterDescription,
                  std::string_view actionDescription);
int NotifyRecipients(MessageContext& context, std::string_view templateName,
                     std::string_view matchDescription, std::string_view filterDescription,
                     std::string_view actionDescription);

}  // namespace kz::actions
