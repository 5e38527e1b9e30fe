#include "actions/notification_template.h"

#include "actions/notification_lines.h"
#include "base/ascii.h"
#include "message/loop_seal.h"

namespace kz::actions {

std::string TemplateNotification(std::string_view messageName, std::string_view templateText,
                                 const std::vector<std::string>& headerLines,
                                 const NamedTokens& tokens, std::string_view matchDescription,
                                 TextLimit lineLimit) {
    // The template's own loop header stays as it is; the seal is added to it.
    const std::string sealLine = LoopSealLine(messageName, "\n");
    const std::string loopLines = LoopHeaderLines(messageName, "\n");
    std::string out;
    bool inHeaders = true;
    bool marked = false;
    for (std::string& line : SplitTextLines(templateText)) {
        if (inHeaders && line.empty()) {
            out += marked ? sealLine : loopLines;
            inHeaders = false;
        }
        // A "[KZ_HEADERS]" line is replaced as a whole, so whatever else it says is no
        // loop header of the template's own.
        if (line.find("[KZ_HEADERS]") != std::string::npos) {
            for (const std::string& header : headerLines) out.append(header).append("\n");
            continue;
        }
        if (inHeaders && startsWithIgnoreCase(line, "X-KZFilter: ")) marked = true;
        ExpandNotificationTokens(line, tokens, matchDescription, lineLimit);
        out.append(line).append("\n");
    }
    if (inHeaders) out += marked ? sealLine : loopLines;
    return out;
}

}  // namespace kz::actions
