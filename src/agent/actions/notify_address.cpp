#include <optional>

#include "actions/append_recipient.h"
#include "actions/notification_lines.h"
#include "actions/notification_queue.h"
#include "actions/notifications.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "log/trace.h"

namespace kz::actions {

namespace {

constexpr std::string_view kReference = "<REFERENCE>";
constexpr TextLimit kTemplateNameLimit{64};
constexpr TextLimit kAddressLimit{1024};

// The text between "<tag>" and "</tag>", blanks around it removed; empty without both.
std::string TaggedValue(std::string_view data, std::string_view tag, TextLimit limit) {
    std::string open = "<" + std::string(tag) + ">";
    std::string close = "</" + std::string(tag) + ">";
    std::size_t start = data.find(open);
    if (start == std::string_view::npos) return {};
    start += open.size();
    std::size_t end = data.find(close, start);
    if (end == std::string_view::npos) return {};
    std::string_view value = data.substr(start, end - start);
    std::size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
    return std::string(limit.cut(value));
}

}  // namespace

bool NotifyAddress(MessageContext& context, std::string_view addressSpecification,
                   std::string_view matchDescription, std::string_view filterDescription,
                   std::string_view actionDescription, const QueueStepHook& hook) {
    if (!addressSpecification.starts_with(kReference)) return false;
    NotificationRequest request;
    request.kind = NotificationKind::Address;
    request.templateName = TaggedValue(addressSpecification, "FILE", kTemplateNameLimit);
    request.toAddress = TaggedValue(addressSpecification, "ADDRESS", kAddressLimit);
    if (request.toAddress.empty()) {
        log::Trace("No recipient address defined for notification\n");
        return false;
    }
    MessageEnvelope recipients;
    AppendRecipient(recipients, request.toAddress);
    request.recipients = recipients.recipients;
    log::Trace("Sending Notification to address: (%s)\n", request.toAddress.c_str());
    std::optional<std::vector<std::string>> headers = ReadFilteredHeaderLines(context);
    if (!headers) return false;
    request.texts = {matchDescription, filterDescription, actionDescription};
    return QueueNotification(context, request, *headers, hook);
}

}  // namespace kz::actions
