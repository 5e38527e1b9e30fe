#include "actions/notification_template.h"

#include "actions/notification_lines.h"
#include "common/ascii.h"

namespace kz::actions {

namespace {

constexpr std::string_view kLoopHeader = "X-KZFilter: 1\n";

}  // namespace

std::string TemplateNotification(std::string_view templateText,
                                 const std::vector<std::string>& headerLines,
                                 const NamedTokens& tokens, std::string_view matchDescription,
                                 std::size_t lineSize) {
    std::string out;
    bool inHeaders = true;
    bool marked = false;
    for (std::string& line : SplitTextLines(templateText)) {
        if (inHeaders && line.empty()) {
            if (!marked) out += kLoopHeader;
            inHeaders = false;
        }
        if (inHeaders && startsWithIgnoreCase(line, "X-KZFilter: ")) marked = true;
        if (line.find("[KZ_HEADERS]") != std::string::npos) {
            for (const std::string& header : headerLines) out.append(header).append("\n");
            continue;
        }
        ExpandNotificationTokens(line, tokens, matchDescription, lineSize);
        out.append(line).append("\n");
    }
    if (inHeaders && !marked) out += kLoopHeader;
    return out;
}

}  // namespace kz::actions
