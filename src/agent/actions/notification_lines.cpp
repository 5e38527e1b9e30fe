#include "actions/notification_lines.h"

#include "base/line_breaks.h"
#include "config/directories.h"
#include "log/debug_log.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz::actions {

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<std::vector<std::string>> ReadFilteredHeaderLines(const MessageContext& context) {
    std::optional<InboundPaths> paths = InboundQueuePaths(
        config::CurrentDirectories()->connectorRoot, context.connectorName, context.messageId);
    if (!paths) return std::nullopt;
    // Only the header block is needed; the body may be large.
    std::unique_ptr<std::istream> in = platform::openInputStream(paths->messageFile);
    if (!in) {
        log::DebugLogf("Unable to open %s\n", paths->messageFile.c_str());
        return std::nullopt;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(*in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        if (line.empty()) break;
        // A bare carriage return would end the copied line early in the notification.
        lines.push_back(BlankLineBreaks(line));
    }
    return lines;
}

std::string WithCrLfLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

}  // namespace kz::actions
