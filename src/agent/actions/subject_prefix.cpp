#include "actions/subject_prefix.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "base/ascii.h"
#include "base/format.h"
#include "base/line_breaks.h"
#include "config/directories.h"
#include "log/trace.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz::actions {

namespace {

constexpr std::string_view kSubject = "Subject:";

// The first "Subject:" at the start of the text or of a line.
std::size_t FindSubjectField(std::string_view message) {
    for (std::size_t pos = 0; (pos = findIgnoreCase(message, kSubject, pos)) != std::string::npos;
         ++pos) {
        if (pos == 0 || message[pos - 1] == '\n') return pos;
    }
    return std::string_view::npos;
}

// The end of the header block: the first empty line, whichever line end the message uses.
std::size_t HeaderBlockEnd(std::string_view message) {
    std::size_t crlf = message.find("\r\n\r\n");
    std::size_t lf = message.find("\n\n");
    return std::min(crlf, lf);
}

}  // namespace

std::optional<std::string> PrefixSubjectInText(std::string_view message, std::string_view prefix) {
    std::size_t field = FindSubjectField(message);
    std::size_t headerEnd = HeaderBlockEnd(message);
    if (field == std::string_view::npos || headerEnd == std::string_view::npos) return std::nullopt;
    std::size_t text = field + kSubject.size();
    while (text < message.size() && (message[text] == ' ' || message[text] == '\t')) ++text;
    if (text > headerEnd) return std::nullopt;
    std::size_t lineEnd = message.find_first_of("\r\n", text);
    if (lineEnd == std::string_view::npos) return std::nullopt;
    std::string result(message);
    if (findIgnoreCase(message.substr(text, lineEnd - text), prefix) == std::string_view::npos)
        result.insert(text, prefix);
    return result;
}

bool AddSubjectPrefix(MessageEdits& edits, const MessageContext& context, std::string_view prefix) {
    auto directories = config::CurrentDirectories();
    std::optional<InboundPaths> paths =
        InboundQueuePaths(directories->connectorRoot, context.connectorName, context.messageId);
    if (!paths) return false;
    // Nothing queued, nothing marked.
    if (platform::fileStatus(paths->messageFile) == platform::FileStatus::NotFound) return false;
    const std::string* message = edits.text(paths->messageFile);
    if (!message) {
        log::Trace("Failed to open %s error %d\n", paths->messageFile.c_str(), errno);
        return false;
    }
    // A line break in the prefix would start a header line of its own.
    std::optional<std::string> prefixed = PrefixSubjectInText(*message, BlankLineBreaks(prefix));
    if (!prefixed) return false;  // no subject line to mark
    if (*prefixed != *message)
        edits.replace(paths->messageFile, std::move(*prefixed), paths->workingCopy);
    return true;
}

}  // namespace kz::actions
