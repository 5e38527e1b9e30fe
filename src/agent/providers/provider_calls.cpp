#include "providers/provider_calls.h"

#include <algorithm>

#include "config/directories.h"
#include "message/queue_paths.h"

namespace kz::providers {

void CallWithEmptyRequest(RequestEntry entry) {
    std::string reply(kReplySize, '\0');
    int32_t replyLength = 0;
    entry("", 0, reply.data(), &replyLength);
}

ProviderReply CallRequestEntry(RequestEntry entry, std::string_view request, int32_t replyLength) {
    const std::string text(request);
    std::string reply(kReplySize, '\0');
    ProviderReply answer;
    answer.result = entry(text.c_str(), int32_t(text.size()), reply.data(), &replyLength);
    // A provider that fills the whole buffer still leaves a terminated text behind.
    reply.back() = '\0';
    answer.text.assign(reply.c_str());
    return answer;
}

std::optional<std::string> ReplyValue(std::string_view reply, std::string_view tag) {
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    const std::size_t start = reply.find(open);
    if (start == std::string_view::npos) return std::nullopt;
    const std::size_t valueStart = start + open.size();
    const std::size_t end = reply.find(close, valueStart);
    if (end == std::string_view::npos) return std::nullopt;
    return std::string(reply.substr(valueStart, end - valueStart));
}

std::string MessageRequest(const MessageContext& context) {
    const auto paths = InboundQueuePaths(config::CurrentDirectories()->connectorRoot,
                                         context.connectorName, context.messageId);
    if (!paths) return "<FILENAME></FILENAME><CMDFILE></CMDFILE>";
    return "<FILENAME>" + paths->messageFile + "</FILENAME><CMDFILE>" + paths->commandFile +
           "</CMDFILE>";
}

std::optional<int> BayesianExecute(std::string_view command) {
    const RequestEntry execute = Providers().bayesian.execute;
    if (!execute) return std::nullopt;
    return CallRequestEntry(execute, command, 0).result;
}

}  // namespace kz::providers
