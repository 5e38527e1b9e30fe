#include "message/envelope_text.h"

#include "base/line_breaks.h"

namespace kz {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void appendLine(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append(BlankLineBreaks(value)).append(kLineEnd);
}

}  // namespace

std::vector<std::string> SplitCommandFileLines(std::string_view content) {
    std::vector<std::string> lines;
    while (!content.empty()) {
        std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    }
    return lines;
}

std::string FormatCommandFile(const MessageEnvelope& envelope,
                              const std::vector<std::string>& keptLines) {
    std::string out;
    appendLine(out, "Recipients=", envelope.recipients);
    appendLine(out, "Server=", envelope.server);
    appendLine(out, "Sender=", envelope.sender);
    appendLine(out, "TimeAcquired=", std::to_string(envelope.timeAcquired));
    appendLine(out, "Status=", envelope.status);
    for (const std::string& line : keptLines) out.append(line).append(kLineEnd);
    return out;
}

}  // namespace kz
