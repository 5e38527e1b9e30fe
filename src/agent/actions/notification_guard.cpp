#include "actions/notification_guard.h"

#include "base/ascii.h"
#include "base/format.h"
#include "message/mime_headers.h"

namespace kz::actions {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The keyword of a header value, before parameters, comments and blanks, lower case.
std::string keyword(std::string_view value) {
    value = trimmed(value);
    return toLowerAscii(value.substr(0, value.find_first_of("; \t(")));
}

bool isBulkPrecedence(std::string_view value) {
    std::string word = keyword(value);
    return word == "bulk" || word == "junk" || word == "list";
}

}  // namespace

std::optional<std::string> SenderNotificationRefusal(std::string_view senderAddress,
                                                     const std::vector<std::string>& headerLines) {
    std::string_view address = trimmed(senderAddress);
    if (address.empty() || address == "<>")
        return std::string("Notification not sent: the message has no sender\n");
    std::string block;
    for (const std::string& line : headerLines) block.append(line).append("\n");
    for (const HeaderEntry& header : ParseHeaderList(block)) {
        if (equalsIgnoreCase(trimmed(header.name), "Auto-Submitted") &&
            keyword(header.value) != "no")
            return formatText("Notification not sent: the message is Auto-Submitted: %s\n",
                              std::string(trimmed(header.value)).c_str());
        if (equalsIgnoreCase(trimmed(header.name), "Precedence") && isBulkPrecedence(header.value))
            return formatText("Notification not sent: the message has Precedence: %s\n",
                              std::string(trimmed(header.value)).c_str());
    }
    return std::nullopt;
}

}  // namespace kz::actions
