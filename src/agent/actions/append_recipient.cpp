#include "actions/append_recipient.h"

#include <string>

#include "base/line_breaks.h"

namespace kz::actions {

void AppendRecipient(MessageEnvelope& envelope, std::string_view address) {
    // The list is one line of the command file; a line break would start another line.
    std::string clean = BlankLineBreaks(address);
    if (!envelope.Recipients.empty()) envelope.Recipients += ';';
    if (clean.find('[') != std::string::npos) {
        envelope.Recipients += clean;
    } else {
        envelope.Recipients += "[SMTP:" + clean + "]";
    }
}

}  // namespace kz::actions
