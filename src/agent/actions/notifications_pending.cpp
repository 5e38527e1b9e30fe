#include "actions/notifications.h"
#include "common/format.h"

namespace kz::actions {

// Notification messages arrive with their templates; until then nothing is sent and the
// action counts as failed.
namespace {

int NotSent(const char* kind) {
    Trace("%s: notifications are not available in this build\n", kind);
    return 0;
}

}  // namespace

int NotifySender(MessageContext&, std::string_view, std::string_view, std::string_view,
                 std::string_view) {
    return NotSent("NOTIFY_SENDER");
}

int NotifyAddress(MessageContext&, std::string_view, std::string_view, std::string_view,
                  std::string_view) {
    return NotSent("NOTIFY_ADDRESS");
}

int NotifyRecipients(MessageContext&, std::string_view, std::string_view, std::string_view,
                     std::string_view) {
    return NotSent("NOTIFY_RECIPIENTS");
}

}  // namespace kz::actions
