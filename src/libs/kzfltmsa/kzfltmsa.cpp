// KZFLTMSA: the SpamAssassin score of a message, asked of spamd.
//
// The execute entry gets "<FILENAME>path</FILENAME><CMDFILE>path</CMDFILE>" and answers
// "<PASS>1</PASS>" for a message that is not spam, "<PASS>0</PASS>" for spam, with
// "<SCORE>", "<THRESHOLD>" and "<RULES>" for the debug log. A message larger than
// "Max Size" is not sent and passes, as spamc does. When spamd cannot be asked the entry
// returns 0 (no verdict), the message goes on unchecked and a warning is reported (once a
// minute at most). Settings: the "SpamAssassin" key under the agent's key.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/exports.h"
#include "platform/files.h"
#include "provider_support/event_throttle.h"
#include "provider_support/reply_buffer.h"
#include "spamd_check.h"

namespace {

using namespace kz::providers;

constexpr std::size_t kReplyBufferSize = 1024;

EventThrottle gUnreachable;

std::string_view tagValue(std::string_view text, std::string_view open, std::string_view close) {
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos) return {};
    const std::size_t end = text.find(close, start + open.size());
    if (end == std::string_view::npos) return {};
    return text.substr(start + open.size(), end - start - open.size());
}

// The reply buffer holds 1024 bytes; a smaller reply length offered makes it smaller.
std::size_t replyCapacity(const int32_t* replyLength) {
    if (replyLength && *replyLength > 0 && std::size_t(*replyLength) < kReplyBufferSize)
        return std::size_t(*replyLength);
    return kReplyBufferSize;
}

int answer(char* reply, int32_t* replyLength, std::string_view text) {
    const std::size_t written = fillBuffer(reply, replyCapacity(replyLength), text);
    if (replyLength) *replyLength = int32_t(written);
    return 1;
}

int execute(const char* request, int32_t length, char* reply, int32_t* replyLength) {
    if (reply) reply[0] = '\0';
    if (!request || length <= 0) return 0;
    const std::string path(
        tagValue(std::string_view(request, std::size_t(length)), "<FILENAME>", "</FILENAME>"));
    const SpamdSettings settings = ReadSpamdSettings();
    const kz::platform::FileSize size = kz::platform::fileSize(path);
    if (size.status != kz::platform::FileStatus::Ok) return 0;
    if (size.size > settings.maxSize) return answer(reply, replyLength, "<PASS>1</PASS>");
    const auto message = kz::platform::readFile(path);
    if (!message) return 0;

    std::string why;
    const auto verdict = AskSpamd(settings, *message, why);
    if (!verdict) {
        gUnreachable.report("SpamAssassin check skipped, messages pass unchecked: spamd at " + why);
        return 0;
    }
    return answer(reply, replyLength, FormatSpamdVerdict(*verdict, replyCapacity(replyLength)));
}

}  // namespace

// Nothing may be thrown across these entries: a failure is a 0 result.

KZ_EXPORT int KZ_STDCALL KZ_Initialize(const char*, int32_t, char* reply, int32_t*) {
    if (reply) reply[0] = '\0';
    return 1;
}

KZ_EXPORT int KZ_STDCALL KZ_Execute(const char* request, int32_t length, char* reply,
                                    int32_t* replyLength) {
    try {
        return execute(request, length, reply, replyLength);
    } catch (...) {
        return 0;
    }
}

KZ_EXPORT int KZ_STDCALL KZ_CleanUp(const char*, int32_t, char* reply, int32_t*) {
    if (reply) reply[0] = '\0';
    return 1;
}
