#include "actions/append_recipient.h"

#include <string>

#include "base/line_breaks.h"

namespace kz::actions {

void AppendRecipient(MessageEnvelope& envelope, std::string_view address) {
    // The list is one line of the command file; a line break would start another line.
    std::string clean = BlankLineBreaks(address);
    if (!envelope.recipients.empty()) envelope.recipients += ';';
    if (clean.find('[') != std::string::npos) {
        envelope.recipients += clean;
    } else {
        envelope.recipients += "[SMTP:" + clean + "]";
    }
}

}  // namespace kz::actions
