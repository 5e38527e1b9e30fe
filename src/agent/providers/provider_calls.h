#pragma once
// Requests to the provider libraries and how their replies are read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "message/message_context.h"
#include "providers/scan_providers.h"

namespace kz::providers {

// Initialise and clean-up take an empty request; what they answer is not used.
void CallWithEmptyRequest(RequestEntry entry);

struct ProviderReply {
    int result = 0;
    std::string text;  // at most kReplySize-1 characters, up to the first NUL
};

// One call of a request-style entry with a fresh reply buffer of kReplySize bytes.
ProviderReply CallRequestEntry(RequestEntry entry, std::string_view request, int32_t replyLength);

// The text between the first "<tag>" and the next "</tag>"; empty when either is missing.
std::optional<std::string> ReplyValue(std::string_view reply, std::string_view tag);

// "<FILENAME>message file</FILENAME><CMDFILE>command file</CMDFILE>" of the run's message.
std::string MessageRequest(const MessageContext& context);

}  // namespace kz::providers
